#!/usr/bin/env python3
"""Writes a setup language file: UTF-16LE with a byte-order mark, CR LF line ends,
section LANSTR, one line per key in the shipped order, six empty lines at the end.

    language_file.py OUT [--down-url URL] [--licence-url URL] [--set KEY=VALUE ...]

Without options it writes the shipped English file; the options brand it or point it
at another download server (the tests and the demo use a local one).
"""
import argparse

DOWN_URL = "https://downloads.example.com/talvenor/TalvenorSetup.exe"
LICENCE_URL = "https://www.example.com/talvenor/licence.html"

# (key, value) in the shipped order. Two lines deliberately differ from the plain
# "KEY=value" form, and the reader must cope: see line_for().
KEYS = [
    ("STR_COMPANY_NAME", "Quorvane"),
    ("STR_PROCESS_NAME", "Talvenor.exe"),
    ("STR_PROJECT_NAME", "Talvenor"),
    ("STR_DOWN_URL", DOWN_URL),
    ("STR_LICENCE_URL", LICENCE_URL),
    ("STR_CLOSE_TIP", "Are you sure you want to quit Talvenor Setup?"),
    ("STR_SOFT_TIP", "Talvenor Setup"),
    ("STR_INSTALL_PATH", "Installation Path:"),
    ("STR_AGREE_INSTALL", "Please agree  License Agreement \uff01"),
    ("STR_AGREE", "Please agree Quorvane License Agreement"),
    ("STR_NOTICE_PROCESS1", "Setup has detected that another Quorvane  Talvenor is currently running. "
                            "Please close all instances of it now."),
    ("STR_NOTICE_PROCESS2", "Installation failed. Please try again."),
    ("STR_DOWNLOADING", "Installing !"),
    ("STR_BEING_INSTALLED", "Talvenor is being installed. Please wait..."),
    ("STR_INSTALLING_WAIT", "Installing, please wait("),
    ("STR_FINISH", "finished.)"),
    ("STR_ERROR", "Error"),
    ("STR_NETWORK_ERROR", "Network error ,please retry."),
    ("STR_SYSTEM_ERROR", "System error"),
    ("STR_SELECT_FOLDER", "Select a folder"),
    ("STR_URL_ERROR", "The download address of Talvenor is not valid."),
]


def line_for(key, value):
    if key == "STR_LICENCE_URL":
        return f"{key}= {value}"  # one leading blank in the value
    if key == "STR_SELECT_FOLDER":
        return f"{key} = {value}"  # blanks around the equals sign
    return f"{key}={value}"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("out")
    parser.add_argument("--down-url")
    parser.add_argument("--licence-url")
    parser.add_argument("--set", action="append", default=[], metavar="KEY=VALUE")
    args = parser.parse_args()

    values = dict(KEYS)
    if args.down_url:
        values["STR_DOWN_URL"] = args.down_url
    if args.licence_url:
        values["STR_LICENCE_URL"] = args.licence_url
    extra = []
    for item in args.set:
        key, _, value = item.partition("=")
        if key in values:
            values[key] = value
        else:
            extra.append((key, value))

    lines = ["[LANSTR]"] + [line_for(k, values[k]) for k, _ in KEYS] + [f"{k}={v}" for k, v in extra]
    text = "\r\n".join(lines) + "\r\n" + "\r\n" * 6
    with open(args.out, "wb") as out:
        out.write(b"\xff\xfe" + text.encode("utf-16-le"))


if __name__ == "__main__":
    main()
