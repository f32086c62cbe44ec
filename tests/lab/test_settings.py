"""The settings schema: every way a setting reaches an agent is checked by
key, type and range before anything is written or started."""
import pytest

from conftest import ROOT
from lab.errors import Refused
from lab.props import read_properties
from lab.settings_schema import SETTINGS, check_setting, read_settings_file


@pytest.mark.parametrize("key, value, message", [
    ("KICKABEL", "120", "setting KICKABEL=120: no such key in config.ini or velocidade.ini; "
                        "did you mean KICKABLE?"),
    ("kickable", "120", "did you mean KICKABLE?"),
    ("POS_BASEY", "0.3462", "did you mean POS_BASE_Y?"),
    ("KICKABLE", "abc", "setting KICKABLE=abc: expected a number from 1 to 1000"),
    ("KICKABLE", "12x", "expected a number"),
    ("KICKABLE", "60..120", "expected a number"),
    ("KICKABLE", "nan", "expected a number"),
    ("KICKABLE", "1e999", "expected a number"),
    ("KICKABLE", "", "setting KICKABLE='': expected"),
    ("POS_BASE_X", "1.5", "from 0 to 1"),
    ("VEL_MAX", "131", "from 0 to 130.434697458164"),
    ("SLEEP", "1.5", "expected a whole number"),
    ("TRIES", "0", "from 1 to 1000000"),
    ("LOG_LEVEL", "LOUD", "one of TRACE, DEBUG, INFO, WARN, ERROR"),
    ("ACCEPT_ANY_SOURCE", "maybe", "YES or NO"),
    ("VERSION", "1.0\nKICKABLE=5", "setting VERSION='1.0\\nKICKABLE=5': expected text"),
    ("NICK_NAME", "A9", "NICK_NAME is written by the lab"),
    ("SERVER_IP", "10.0.0.1", "SERVER_IP is written by the lab"),
])
def test_bad_settings_are_refused_naming_key_value_and_expectation(key, value, message):
    with pytest.raises(Refused) as e:
        check_setting(key, value)
    assert message in str(e.value)
    assert "\n" not in str(e.value)


@pytest.mark.parametrize("key, value, written", [
    ("KICKABLE", "120", "120"),
    ("KICKABLE", " 95.5", "95.5"),
    ("LOG_ENABLED", "yes", "YES"),       # the agent would read 'yes' as off
    ("RECEIVE_WAIT", "sleep", "SLEEP"),
    ("VEL_MAX", "130.434697458164", "130.434697458164"),
    ("ANGLE_SPIN", "0.5", "0.5"),
])
def test_good_settings_come_back_as_they_are_written(key, value, written):
    assert check_setting(key, value) == written


def test_the_sample_files_fit_the_schema_and_name_every_key():
    keys = set()
    for name in ("config.ini", "velocidade.ini"):
        for key, value in read_properties(f"{ROOT}/config/{name}").items():
            assert SETTINGS[key].file == name
            keys.add(key)
            if not SETTINGS[key].identity:
                check_setting(key, value)
    assert keys == set(SETTINGS)


@pytest.mark.parametrize("text, message", [
    ("KICKABLE=100\nKICKABLE=110\n", ":2: KICKABLE is given twice"),
    ("KICKABLE=100\nkickable=110\n", ":2: kickable=110: no such key"),
    ("KICKABLE 100\n", ":1: 'KICKABLE 100' is not KEY=VALUE"),
    ("VEL_MAX=500\n", ":1: VEL_MAX=500: expected a number from 0 to 130.434697458164"),
    ("TEAM=1\n", ":1: TEAM=1: TEAM is written by the lab"),
    ("GO:KICKABLE=60\nGO:KICKABLE=70\n", ":2: GO:KICKABLE is given twice"),
    ("G O:KICKABLE=60\n", ":1: 'G O:KICKABLE=60': 'G O' is not a robot's nickname"),
])
def test_a_settings_file_with_a_fault_is_refused_with_its_line(tmp_path, text, message):
    path = tmp_path / "tuned.ini"
    path.write_text(text)
    with pytest.raises(Refused) as e:
        read_settings_file(str(path))
    assert str(e.value).startswith(f"{path}")
    assert message in str(e.value)


def test_a_settings_file_reads_comments_crlf_and_both_files_keys(tmp_path):
    path = tmp_path / "tuned.ini"
    path.write_bytes(b"\xef\xbb\xbf# tuned\r\n\r\nKICKABLE=95\r\n  # note\r\nVEL_MAX=120\r\nGO:KICKABLE=60\r\n")
    assert read_settings_file(str(path)) == {"KICKABLE": "95", "VEL_MAX": "120", "GO:KICKABLE": "60"}


def test_a_device_as_settings_file_is_refused_not_read_whole():
    with pytest.raises(Refused, match="larger than"):
        read_settings_file("/dev/zero")
