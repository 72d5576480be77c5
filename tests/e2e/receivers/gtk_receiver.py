#!/usr/bin/python3
"""A GTK 3 text view that receives typed keys, as GTK programs do.

    gtk_receiver.py TITLE DIR

Every text inserted into the view goes to DIR/received (see receiver_files.py).
"""
import sys

import gi

gi.require_version("Gtk", "3.0")
from gi.repository import GLib, Gtk  # noqa: E402

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
from receiver_files import ReceiverFiles  # noqa: E402


def main():
    files = ReceiverFiles()
    window = Gtk.Window(title=files.title)
    window.set_default_size(600, 400)
    window.connect("destroy", Gtk.main_quit)
    view = Gtk.TextView()
    window.add(view)

    # The text as the view takes it: after the input method, whatever it made of a key.
    def inserted(_buffer, _where, text, _length):
        files.received(text)

    # What was written leaves the view now and then: GTK slows down on very long
    # lines, and a benchmark would measure that instead of the keys.
    def trim():
        if view.get_buffer().get_char_count() > 100:
            view.get_buffer().set_text("")
        return True

    view.get_buffer().connect("insert-text", inserted)
    GLib.timeout_add(100, trim)
    view.connect("focus-in-event", lambda *_: files.note("focus") or False)
    view.connect("focus-out-event", lambda *_: files.note("blur") or False)
    window.connect("map-event", lambda *_: files.note("ready") or False)
    window.show_all()
    view.grab_focus()
    Gtk.main()


if __name__ == "__main__":
    main()
