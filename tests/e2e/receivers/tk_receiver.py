#!/usr/bin/python3
"""A Tk text widget that receives typed keys, as small Python/Tk programs do.

    tk_receiver.py TITLE DIR

Writes DIR/status ("ready" once the window is shown, "focus" whenever the text widget
gets the keyboard focus) and moves every text the widget gains to DIR/received, in
UTF-8, as it comes.
"""
import os
import sys
import tkinter


def note(directory, line):
    with open(os.path.join(directory, "status"), "a", encoding="utf-8") as f:
        f.write(line + "\n")


def main():
    title, directory = sys.argv[1], sys.argv[2]
    received = open(os.path.join(directory, "received"), "ab", buffering=0)

    root = tkinter.Tk()
    root.title(title)
    text = tkinter.Text(root, width=80, height=24)
    text.pack(fill="both", expand=True)
    # The Text class binding has inserted the key's character when <<Modified>> fires.
    # What was written leaves the widget: Tk slows down on very long lines, and a
    # benchmark would measure that instead of the keys.
    def modified(_event):
        new = text.get("1.0", "end - 1 chars")
        if new:
            received.write(new.encode("utf-8"))
            text.delete("1.0", "end")
        text.edit_modified(False)

    text.bind("<<Modified>>", modified)
    text.bind("<FocusIn>", lambda _e: note(directory, "focus"))
    root.bind("<Map>", lambda e: note(directory, "ready") if e.widget is root else None)
    text.focus_set()
    root.mainloop()


if __name__ == "__main__":
    main()
