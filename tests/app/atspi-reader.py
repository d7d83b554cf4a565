#!/usr/bin/python3
"""A program's window as assistive technology reads it, through AT-SPI
(libatspi, the library screen readers use), on the session bus in
DBUS_SESSION_BUS_ADDRESS. For the tests of tests/app.

  atspi-reader.py dump APP
      Every object of the application named APP (its accessible name, e.g.
      the executable's name), one JSON object a line: role, name, and text
      (the object's text when it offers one, else null). Waits up to 10 s for
      the application to appear.
  atspi-reader.py watch
      Registers for the events of text changes and name changes, prints
      "ready", then one JSON object a line for each such event of any
      application: application, event, role, name and data (the text
      inserted or removed). Ends when its standard input closes.
  atspi-reader.py press APP NAME
      Does the first action (a button's "Press") of APP's object named NAME.
"""

import json
import sys
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402


def find_application(name, seconds=10.0):
    end = time.monotonic() + seconds
    while True:
        desktop = Atspi.get_desktop(0)
        for index in range(desktop.get_child_count()):
            application = desktop.get_child_at_index(index)
            if application is not None and application.get_name() == name:
                return application
        if time.monotonic() > end:
            return None
        time.sleep(0.05)


def text_of(accessible):
    if "Text" not in accessible.get_interfaces():
        return None
    return Atspi.Text.get_text(accessible, 0, Atspi.Text.get_character_count(accessible))


def objects(accessible):
    yield accessible
    for index in range(accessible.get_child_count()):
        child = accessible.get_child_at_index(index)
        if child is not None:
            yield from objects(child)


def dump(application):
    for accessible in objects(application):
        print(json.dumps({"role": accessible.get_role_name(), "name": accessible.get_name(),
                          "text": text_of(accessible)}, ensure_ascii=False))


def press(application, name):
    for accessible in objects(application):
        if accessible.get_name() == name and "Action" in accessible.get_interfaces():
            if Atspi.Action.get_n_actions(accessible) > 0:
                if Atspi.Action.do_action(accessible, 0):
                    return True
                print("atspi-reader: %s refused its action" % name, file=sys.stderr)
                return False
    print("atspi-reader: nothing named %s has an action" % name, file=sys.stderr)
    return False


def watch():
    def report(event):
        try:
            source = event.source
            data = event.any_data if isinstance(event.any_data, str) else None
            print(json.dumps({"application": source.get_application().get_name(),
                              "event": event.type, "role": source.get_role_name(),
                              "name": source.get_name(), "data": data},
                             ensure_ascii=False), flush=True)
        except GLib.Error:
            pass  # the object went away meanwhile

    listener = Atspi.EventListener.new(report)
    for event in ("object:text-changed:insert", "object:text-changed:delete",
                  "object:property-change:accessible-name"):
        listener.register(event)
    print("ready", flush=True)

    def input_closed(*_):
        Atspi.event_quit()
        return False

    GLib.io_add_watch(sys.stdin.fileno(), GLib.IO_IN | GLib.IO_HUP, input_closed)
    Atspi.event_main()


def main(arguments):
    if arguments == ["watch"]:
        watch()
        return 0
    if len(arguments) not in (2, 3):
        print(__doc__, file=sys.stderr)
        return 2
    application = find_application(arguments[1])
    if application is None:
        print("atspi-reader: no application named %s" % arguments[1], file=sys.stderr)
        return 1
    if arguments[0] == "dump" and len(arguments) == 2:
        dump(application)
        return 0
    if arguments[0] == "press" and len(arguments) == 3:
        return 0 if press(application, arguments[2]) else 1
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
