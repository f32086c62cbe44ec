"""The end of a tuning run: the tuned settings as files, and their sequential
test against the starting ones, played by the tournament through its public
entry (a subprocess), its output kept in the run folder."""
import os
import re
import subprocess
import sys

from ..errors import Refused
from ..settings_schema import read_settings_file
from ..tournament.cli import Run
from ..tournament.folder import read_plan
from ..tournament.stats import sprt_bounds
from ..tournament.summary import summarise
from .params import settings_of, split_key

TUNED = "tuned.ini"
START = "start.ini"
VERIFY_DIR = "verify"
SPRT = (0.0, 50.0)


def write_settings(run: str, params: list, state: dict) -> list:
    """tuned.ini and start.ini, settings files of KEY=VALUE lines (GO:KEY=VALUE
    for the goalkeeper's own); the names of the tuned ones."""
    for name, values, what in ((TUNED, state["theta"], "tuned"), (START, [p.start for p in params], "starting")):
        text = (f"# {what} settings, after {state['done']} of {state['iterations']} iterations\n"
                + "".join(f"{k}={v}\n" for k, v in settings_of(params, values)))
        write_file(os.path.join(run, name), text)
    return [TUNED]


def write_file(path: str, text: str) -> None:
    with open(path + ".partial", "w", encoding="utf-8") as f:
        f.write(text)
    os.replace(path + ".partial", path)


def tournament_help(run: str) -> str:
    r = subprocess.run([sys.executable, "-B", "-m", "lab", "tournament", "--help"], capture_output=True,
                       text=True, timeout=60, cwd=run)
    return r.stdout


def contender(run: str, program: str, path: str, by_file: bool) -> str:
    """A tournament contender of `program` with the settings of file `path`
    (both relative to the run folder, where it is run)."""
    if by_file:
        return f"{program}@{path}"
    return program + "".join(f":{k}={v}" for k, v in read_settings_file(os.path.join(run, path)).items())


def verify(t, o, layout, hosts: list) -> int:
    """Runs the sequential test; its exit status (0 with a verdict)."""
    run, state = t.run, t.state
    tuned, start = (read_settings_file(os.path.join(run, n)) for n in (TUNED, START))
    if tuned == start:
        t.say("no verification: the tuned values are the starting ones")
        return 0
    # Run in the run folder, the verification takes the kit's lab and config
    # (so the tuning's scenario) and names the contenders shortly.
    usage = tournament_help(run)
    by_file = "@FILE" in usage
    # PROGRAM:KEY=VALUE cannot name one robot; a settings file can.
    odd = [k for k in tuned if split_key(k)[0]]
    if not by_file and odd:
        t.say(f"no verification: this lab's tournament takes no settings file as a contender, "
              f"and {', '.join(odd)} is one robot's", sys.stderr)
        return 0
    labels = [contender(run, state["program"], name, by_file) for name in (TUNED, START)]
    state["verify_labels"] = labels
    # A tournament with a baseline judges the others against the first contender.
    order = labels[::-1] if "--baseline" in usage else labels
    argv = [sys.executable, "-B", "-m", "lab", "tournament", "--programs", ",".join(order),
            "--sprt", "%g,%g" % SPRT, "--length", state["length"],
            "--jobs", str(o.jobs), "--out", VERIFY_DIR]
    if o.verify_max_seeds is not None:
        argv += ["--max-seeds", str(o.verify_max_seeds)]
    if "--seed-offset" in usage:
        # Fresh seeds: past every seed the tuning played.
        argv += ["--seed-offset", str(state["seed_offset"] + state["iterations"] + 1)]
    if o.hosts:
        argv += ["--hosts", o.hosts]
    if "scenario_file" in state:
        # The tuning's own field: the tournament pins its copy in turn.
        argv += ["--scenario", state["scenario_file"]]
    t.say("verification: a sequential test of the tuned settings against the starting ones")
    env = dict(os.environ, LAB_PROG=f"{t.prog} (verification)", SOCCER_BUILD_DIR=layout.build_dir)
    with open(os.path.join(run, "verify.txt"), "w", encoding="utf-8") as log:
        proc = subprocess.Popen(argv, stdout=subprocess.PIPE, text=True, env=env, cwd=run)
        for line in proc.stdout:
            sys.stdout.write(line)
            log.write(line)
        status = proc.wait()
    verdict = verdict_lines(run)
    if status == 0 and verdict:
        t.say("verdict: " + verdict[-1])
    else:
        t.say(f"the verification did not end with a verdict (status {status}); see "
              f"{os.path.join(run, 'verify.txt')}", sys.stderr)
    return status


def verdict_lines(run: str) -> list:
    try:
        with open(os.path.join(run, "verify.txt"), encoding="utf-8") as f:
            text = f.read()
    except OSError:
        return []
    lines = [l.strip() for l in text.splitlines()]
    # The pairing's figures (pairs, pentanomial, Elo) and the verdict, which names the test in brackets.
    figures = [l for l in lines if re.search(r"\bpairs?, pentanomial\b.*\bElo\b", l) and "(SPRT" not in l]
    verdicts = [l for l in lines if "(SPRT" in l]
    return figures[-1:] + verdicts[-1:]


def read_verification(run: str, state: dict) -> dict:
    """{verdict lines, LLR trace, bounds} from the verification's folder; {}
    when there is none. The trace is the tournament's own, on its plan's test
    (logistic or normalized Elo, its error rates)."""
    folder = os.path.join(run, VERIFY_DIR)
    if not os.path.isfile(os.path.join(folder, "results.csv")):
        return {}
    out = {"verdict": verdict_lines(run), "trace": [], "bounds": sprt_bounds()}
    try:
        plan = read_plan(folder)
    except Refused:
        return out
    labels = [c.label for c in plan.contenders]
    tuned_label = (state.get("verify_labels") or [""])[0]
    # The trace is the candidate's: drawn only when the candidate is the tuned settings.
    if plan.sprt is None or len(labels) != 2 or labels[1] != tuned_label:
        return out
    results = Run("tune", folder, plan, 1, []).results(plan.seeds)[0]
    view = summarise(labels, results, 0, plan.sprt, plan.seeds, plan.gauntlet).pairings[0]
    out.update(trace=list(view.trace), bounds=sprt_bounds(plan.sprt.alpha, plan.sprt.beta))
    return out
