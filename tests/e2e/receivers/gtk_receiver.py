#!/usr/bin/python3
"""A GTK 3 text view that receives typed keys, as GTK programs do.

    gtk_receiver.py TITLE DIR

Writes DIR/status ("ready" once the window is shown, "focus" whenever the text view
gets the keyboard focus) and moves every text inserted into the view to
DIR/received, in UTF-8, as it comes.
"""
import os
import sys

import gi

gi.require_version("Gtk", "3.0")
from gi.repository import Gtk  # noqa: E402


def note(directory, line):
    with open(os.path.join(directory, "status"), "a", encoding="utf-8") as f:
        f.write(line + "\n")


def main():
    title, directory = sys.argv[1], sys.argv[2]
    received = open(os.path.join(directory, "received"), "ab", buffering=0)

    window = Gtk.Window(title=title)
    window.set_default_size(600, 400)
    window.connect("destroy", Gtk.main_quit)
    view = Gtk.TextView()
    window.add(view)

    # The text as the view takes it: after the input method, whatever it made of a key.
    def inserted(_buffer, _where, text, _length):
        received.write(text.encode("utf-8"))

    # What was written leaves the view: GTK slows down on very long lines, and a
    # benchmark would measure that instead of the keys.
    def typed(buffer):
        if buffer.get_char_count() > 100:
            buffer.set_text("")

    view.get_buffer().connect("insert-text", inserted)
    view.get_buffer().connect_after("end-user-action", typed)
    view.connect("focus-in-event", lambda *_: note(directory, "focus") or False)
    window.connect("map-event", lambda *_: note(directory, "ready") or False)
    window.show_all()
    view.grab_focus()
    Gtk.main()


if __name__ == "__main__":
    main()
