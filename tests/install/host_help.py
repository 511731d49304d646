"""What the tests of the installed form share: the built host and what its --help names.

The commands and options are read from the host's own --help, so that these tests follow the
program: a new command or option that the manual page or the completion misses fails them.
"""

import os
import re
import subprocess

HOST = os.environ["TUNEWELL_HOST"]
SOURCE_DIR = os.environ["TUNEWELL_SOURCE_DIR"]
BINARY_DIR = os.environ["TUNEWELL_BINARY_DIR"]
MANUAL_PAGE = os.path.join(SOURCE_DIR, "host", "tunewell.1")
COMPLETION = os.path.join(SOURCE_DIR, "host", "tunewell-completion.bash")

# An option as --help writes it: after a blank, a comma or a bracket; "--" alone is none.
OPTION = re.compile(r"(?:^|(?<=[\s,\[]))(--?[a-z][a-z-]*)")


def help_text(host=HOST):
    return subprocess.run([host, "--help"], capture_output=True, text=True, check=True).stdout


def help_options(text):
    """Every option named anywhere in the help text."""
    return set(OPTION.findall(text))


def help_commands(text):
    """The command names of the "Commands:" section, in order, each once."""
    section = text.split("Commands:\n", 1)[1].split("\n\n", 1)[0]
    names = re.findall(r"^  ([a-z][a-z-]*)", section, re.MULTILINE)
    return list(dict.fromkeys(names))


def command_options(command, host=HOST):
    """The long options a command's own help lists under "Options for COMMAND:"."""
    text = subprocess.run([host, "help", command], capture_output=True, text=True,
                          check=True).stdout
    section = text.split("\nOptions for " + command + ":\n", 1)[1]
    return set(re.findall(r"^  (?:-[a-z], )?(--[a-z][a-z-]*)", section, re.MULTILINE))


def command_synopses(command, host=HOST):
    """The synopsis of each form of a command, from its own help's usage lines (one per form,
    each perhaps carried over to lines further in), without "tunewell [OPTIONS] "."""
    text = subprocess.run([host, "help", command], capture_output=True, text=True,
                          check=True).stdout
    forms = []
    for line in text.split("\n\n", 1)[0].splitlines():
        if "tunewell [OPTIONS] " in line:
            forms.append(line.split("tunewell [OPTIONS] ", 1)[1])
        else:
            forms[-1] += " " + line.strip()
    return forms
