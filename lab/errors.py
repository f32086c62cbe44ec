"""The one way a subcommand refuses its input: a message for one line on
standard error and exit status 1, before anything is written or started."""


class Refused(Exception):
    """Bad input; the message names what is wrong and what was expected."""
