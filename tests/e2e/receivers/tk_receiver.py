#!/usr/bin/python3
"""A Tk text widget that receives typed keys, as small Python/Tk programs do.

    tk_receiver.py TITLE DIR

Every text the widget gains goes to DIR/received (see receiver_files.py).
"""
import sys
import tkinter

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
from receiver_files import ReceiverFiles  # noqa: E402


def main():
    files = ReceiverFiles()
    root = tkinter.Tk()
    root.title(files.title)
    text = tkinter.Text(root, width=80, height=24)
    text.pack(fill="both", expand=True)

    # The Text class binding has inserted the key's character when <<Modified>> fires.
    # What was written leaves the widget: Tk slows down on very long lines, and a
    # benchmark would measure that instead of the keys.
    def modified(_event):
        new = text.get("1.0", "end - 1 chars")
        if new:
            files.received(new)
            text.delete("1.0", "end")
        text.edit_modified(False)

    text.bind("<<Modified>>", modified)
    text.bind("<FocusIn>", lambda _e: files.note("focus"))
    root.bind("<Map>", lambda e: files.note("ready") if e.widget is root else None)
    text.focus_set()
    root.mainloop()


if __name__ == "__main__":
    main()
