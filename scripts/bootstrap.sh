#!/usr/bin/env bash
# Installs the Debian packages a task needs (only those missing), then
# configures and builds into build/. Safe to run again.
#   bootstrap.sh play        what a match needs: the libraries, Python 3 for the
#                            lab, agent, agent-b, agent-c, statue and simserver (default)
#   bootstrap.sh tournament  a match's needs plus GNU parallel, SciPy for the
#                            statistics and rsync/ssh for spreading matches
#                            over machines
#   bootstrap.sh all         everything: tests, benchmarks, fuzzing, browser
#   bootstrap.sh host        a remote host of a tournament: the libraries the
#                            programs run on, Python 3 and rsync; no build (the
#                            tournament sends its pinned programs)
set -euo pipefail
cd "$(dirname "$0")/.."

profile="${1:-play}"
case "$profile" in
  play|tournament|all|host) ;;
  *) echo "bootstrap: unknown profile '$profile' (play, tournament, all or host)" >&2; exit 1 ;;
esac

packages=(build-essential cmake pkg-config libsdl-net1.2-dev libpugixml-dev
          libbox2d-dev nlohmann-json3-dev libcli11-dev libcpp-httplib-dev python3)
if [ "$profile" = host ]; then
  packages=(libsdl-net1.2 libpugixml1v5 libbox2d2 libcpp-httplib0.11 python3 rsync)
elif [ "$profile" != play ]; then
  packages+=(parallel python3-scipy rsync openssh-client)
fi
if [ "$profile" = all ]; then
  # The package test needs file and dpkg-shlibdeps (dpkg-dev) for the dependencies,
  # help2man for the man pages and lintian to check the package.
  packages+=(googletest libgtest-dev libgmock-dev libbenchmark-dev python3-pytest file dpkg-dev
             help2man lintian clang libclang-rt-14-dev)
  # The replay page's test loads it in a headless browser and reads its screenshot.
  packages+=(chromium zlib1g-dev)
fi
# SOCCER_EXTRA_PACKAGES: more packages, separated by spaces.
read -r -a extra <<<"${SOCCER_EXTRA_PACKAGES:-}"
packages+=("${extra[@]}")

missing=()
for p in "${packages[@]}"; do
  [ -n "$p" ] || continue
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "bootstrap: installing ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

jobs=$(nproc 2>/dev/null || echo 2)
if [ "$profile" = host ]; then
  exit 0
elif [ "$profile" = all ]; then
  cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSOCCER_TESTS=ON -DSOCCER_BENCH=ON >/dev/null
  cmake --build build -j "$jobs"
else
  # A first configure leaves the tests out (their packages may be missing);
  # a build folder that test.sh already configured keeps its settings.
  if [ ! -f build/CMakeCache.txt ]; then
    cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSOCCER_TESTS=OFF -DSOCCER_BENCH=OFF >/dev/null
  fi
  cmake --build build -j "$jobs" --target agent agent-b agent-c statue simserver
fi
