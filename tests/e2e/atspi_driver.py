#!/usr/bin/env python3
"""Finds Quillatorne's controls through the accessibility bus and acts on them as a user
would, with the mouse (xdotool). One command per run; prints what it found.

  atspi_driver.py items LIST_NAME         the names of the list's items, one a line
  atspi_driver.py click NAME [ITEM]       clicks the control, or that item of the list
  atspi_driver.py press NAME [WINDOW]     clicks the push button of that name (of that window)
  atspi_driver.py act NAME [WINDOW]       presses it through its accessible action, for sessions
                                          where the driver has no pointer (Wayland)
  atspi_driver.py text WINDOW_TITLE       the texts shown in that window, one a line
                                          (a line break inside a text printed as \\n)
"""
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib


def application():
    desktop = pyatspi.Registry.getDesktop(0)
    for app in desktop:
        if app is not None and app.name.lower().startswith("quillatorne"):
            return app
    return None


def walk(node, depth=0):
    if node is None or depth > 40:
        return
    yield node
    for i in range(node.childCount):
        yield from walk(node.getChildAtIndex(i), depth + 1)


def top_level(title):
    app = application()
    for window in (app or []):
        if window is not None and window.name == title and \
                window.getState().contains(pyatspi.STATE_SHOWING):
            return window
    return None


def find(name, roles=None, window=None):
    root = application() if window is None else top_level(window)
    for node in walk(root):
        if node.name == name and node.getState().contains(pyatspi.STATE_SHOWING):
            if roles is None or node.getRole() in roles:
                return node
    return None


LISTS = (pyatspi.ROLE_LIST, pyatspi.ROLE_TABLE, pyatspi.ROLE_TREE_TABLE, pyatspi.ROLE_LIST_BOX)
ITEMS = (pyatspi.ROLE_LIST_ITEM, pyatspi.ROLE_TABLE_CELL)


def items(listbox):
    return [n for n in walk(listbox) if n is not listbox and n.getRole() in ITEMS]


def click(node):
    box = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    x, y = box.x + box.width // 2, box.y + box.height // 2
    subprocess.run(["xdotool", "mousemove", str(x), str(y), "click", "1"], check=True)


def wait_for(fn, seconds=20):
    end = time.time() + seconds
    while time.time() < end:
        result = fn()
        if result:
            return result
        time.sleep(0.2)
    return None


def main(argv):
    command = argv[1]
    if command == "items":
        listbox = wait_for(lambda: find(argv[2], LISTS))
        if not listbox:
            return 2
        for item in items(listbox):
            print(item.name)
        return 0
    if command == "click":
        if len(argv) > 3:
            listbox = wait_for(lambda: find(argv[2], LISTS))
            target = listbox and next((i for i in items(listbox) if i.name == argv[3]), None)
        else:
            target = wait_for(lambda: find(argv[2]))
        if not target:
            return 2
        click(target)
        return 0
    if command in ("press", "act"):
        window = argv[3] if len(argv) > 3 else None
        target = wait_for(lambda: find(argv[2], (pyatspi.ROLE_PUSH_BUTTON,), window))
        if not target:
            return 2
        if command == "press":
            click(target)
        else:
            # A button that opens a modal box answers only once the box is gone: what the
            # press did is for the caller to see, not the reply.
            pyatspi.setTimeout(2000, 2000)
            try:
                target.queryAction().doAction(0)
            except GLib.GError as e:
                if "reply" not in str(e):
                    raise
        return 0
    if command == "text":
        window = wait_for(lambda: find(argv[2], (pyatspi.ROLE_DIALOG, pyatspi.ROLE_FRAME,
                                                   pyatspi.ROLE_ALERT, pyatspi.ROLE_WINDOW)))
        if not window:
            return 2
        for node in walk(window):
            if node.getRole() == pyatspi.ROLE_LABEL and node.name:
                print(node.name.replace("\n", "\\n"))
        return 0
    return 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
