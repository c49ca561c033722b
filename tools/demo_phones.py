"""Demo phones for tools/run-demo.sh: each listens on port 80 of its loopback address, answers
every push as a phone that carried it out, and prints the push it received. Runs until it is
ended by a signal.

Usage: python3 tools/demo_phones.py READY_FILE ADDRESS=NAME...
READY_FILE is created once every phone listens. The fake phones of the end-to-end tests
(tests/e2e/push_phones.py) do the listening and answering; they must be on the import path."""

import re
import signal
import sys

from push_phones import RecordingPhones

# What the phone is told to do, for the objects that tell it something.
EXECUTE_URL = re.compile(rb'URL="([^"]*)"')
TEXT = re.compile(rb"<Title>(.*?)</Title><Text>(.*?)</Text>", re.S)


def describe(body):
    """One line for one pushed body: the execute URL or the text, then the XML object."""
    xml = body[4:] if body.startswith(b"XML=") else body
    xml = xml.rstrip(b"\r\n")
    if xml.startswith(b"<CiscoIPPhoneExecute>"):
        url = EXECUTE_URL.search(xml)
        what = "execute %s" % (url.group(1).decode("latin-1") if url else "?")
    elif xml.startswith(b"<CiscoIPPhoneText>"):
        text = TEXT.search(xml)
        what = "show text %r" % (text.group(2).decode("latin-1") if text else "?")
    else:
        what = "object"
    return "%s\n      %s" % (what, xml.decode("latin-1"))


def print_pushes(phones, names):
    """Prints every push in the order the phones received it, as it comes."""
    printed = {a: 0 for a in names}

    def new_pushes(pushes):
        return any(len(pushes[a]) > printed[a] for a in names)

    while True:
        if not phones.wait_until(new_pushes, timeout=1.0):
            continue
        fresh = []
        for a in names:
            received = phones.received(a)
            fresh += [(p.arrived, a, p) for p in received[printed[a]:]]
            printed[a] = len(received)
        for _, address, push in sorted(fresh, key=lambda item: item[0]):
            print("\n[demo phone %s, %s] push: %s" % (address, names[address], describe(push.body)), flush=True)


def main():
    ready_file, phones_given = sys.argv[1], sys.argv[2:]
    names = dict(item.split("=", 1) for item in phones_given)
    # The shell that started us in the background ignores Ctrl-C for us: it ends us with TERM.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    with RecordingPhones(list(names)) as phones:
        with open(ready_file, "w") as f:
            f.write("ready\n")
        print("Demo phones answering pushes on port 80 of %s." % ", ".join(names), flush=True)
        print_pushes(phones, names)


if __name__ == "__main__":
    try:
        main()
    except OSError as error:
        sys.exit("The demo phones cannot listen on port 80 (%s): it needs root and must be free." % error)
