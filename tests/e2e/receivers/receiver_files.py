"""The files a test receiver shares with the tests: DIR/status, where it says "ready"
once its window is shown, "focus" whenever its text field gets the keyboard focus (and
"blur" when it loses it, for those that tell),
and DIR/received, where what the field got goes in UTF-8 as it comes."""
import os
import sys


class ReceiverFiles:
    def __init__(self):
        self.title, self.directory = sys.argv[1], sys.argv[2]
        self._received = open(os.path.join(self.directory, "received"), "ab", buffering=0)

    def note(self, line):
        with open(os.path.join(self.directory, "status"), "a", encoding="utf-8") as f:
            f.write(line + "\n")

    def received(self, text):
        self._received.write(text.encode("utf-8"))
