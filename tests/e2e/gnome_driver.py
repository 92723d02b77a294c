#!/usr/bin/python3
"""Drives Quillatorne inside a GNOME Shell session as a user would: the pointer moved and
clicked by the Shell itself (a virtual input device through its Eval method), the controls
found through the accessibility bus. One command per run:

  gnome_driver.py ready                  exits 0 once the Shell answers and shows no overview
  gnome_driver.py windows                the Shell's windows as JSON, bottom to top
  gnome_driver.py click WINDOW BUTTON    clicks that push button of the window of that title
  gnome_driver.py clickitem LIST ITEM    clicks that item of the list of that name

Exits with 2 when the window or the control is not (yet) there.
"""
import json
import sys

import pyatspi
from gi.repository import Gio, GLib

WINDOWS_JS = """
(() => {
  const focus = global.display.focus_window;
  const windows = global.display.sort_windows_by_stacking(
      global.display.list_all_windows().filter(w => !w.is_override_redirect()));
  return JSON.stringify(windows.map(w => {
    const f = w.get_frame_rect();
    const parent = w.get_transient_for();
    return {title: w.get_title(), x: f.x, y: f.y, width: f.width, height: f.height,
            transientFor: parent ? parent.get_title() : null, focused: w === focus,
            modal: w.is_attached_dialog() || w.get_window_type() === 4 /* modal dialog */,
            hidden: w.is_hidden()};
  }));
})()
"""

CLICK_JS = """
(() => {
  const Clutter = imports.gi.Clutter;
  const GLib = imports.gi.GLib;
  if (!global._quillPointer)
    global._quillPointer = Clutter.get_default_backend().get_default_seat()
        .create_virtual_device(Clutter.InputDeviceType.POINTER_DEVICE);
  const d = global._quillPointer;
  const t = GLib.get_monotonic_time();
  d.notify_absolute_motion(t, %d, %d);
  d.notify_button(t + 1000, Clutter.BUTTON_PRIMARY, Clutter.ButtonState.PRESSED);
  d.notify_button(t + 2000, Clutter.BUTTON_PRIMARY, Clutter.ButtonState.RELEASED);
  return 'clicked';
})()
"""


def shell_eval(script):
    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    ok, result = bus.call_sync("org.gnome.Shell", "/org/gnome/Shell", "org.gnome.Shell", "Eval",
                               GLib.Variant("(s)", (script,)), GLib.VariantType("(bs)"),
                               Gio.DBusCallFlags.NONE, 10000, None).unpack()
    if not ok:
        sys.exit("Eval failed: " + result)
    return json.loads(result)


def shell_windows():
    return json.loads(shell_eval(WINDOWS_JS))


def application():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name.lower() == "quillatorne":
            return app
    return None


def top_level(title):
    app = application()
    if app is None:
        return None
    for window in app:
        if window is not None and window.name == title and \
                window.getState().contains(pyatspi.STATE_SHOWING):
            return window
    return None


def screen_point(title, node):
    """Where the middle of the node is on the screen. The toolkit knows places only inside
    its window; the Shell knows where the window is, decorations included."""
    frame = next((w for w in reversed(shell_windows()) if w["title"] == title), None)
    window = top_level(title)
    if frame is None or window is None:
        sys.exit(2)
    inner = window.queryComponent().getExtents(pyatspi.WINDOW_COORDS)
    box = node.queryComponent().getExtents(pyatspi.WINDOW_COORDS)
    # Decorations drawn by the toolkit: even at the sides and the bottom, the rest on top.
    side = (frame["width"] - inner.width) // 2
    top = frame["height"] - inner.height - side
    return (frame["x"] + side + box.x + box.width // 2,
            frame["y"] + top + box.y + box.height // 2)


def find(window, name, roles):
    found = pyatspi.findAllDescendants(
        window, lambda n: n.name == name and n.getRole() in roles and
        n.getState().contains(pyatspi.STATE_SHOWING))
    return found[0] if found else None


def click_at(point):
    shell_eval(CLICK_JS % point)


def main(argv):
    command = argv[1]
    if command == "ready":
        state = shell_eval("imports.ui.main.layoutManager._startingUp ? 'starting'"
                           " : (imports.ui.main.overview.visible ? 'overview' : 'ready')")
        if state == "overview":
            shell_eval("imports.ui.main.overview.hide(); 'hidden'")
        return 0 if state == "ready" else 2
    if command == "windows":
        print(json.dumps(shell_windows()))
        return 0
    if command == "click":
        window = top_level(argv[2])
        button = window and find(window, argv[3], {pyatspi.ROLE_PUSH_BUTTON})
        if not button:
            return 2
        click_at(screen_point(argv[2], button))
        return 0
    if command == "clickitem":
        app = application()
        for window in (app or []):
            listbox = window and find(window, argv[2], {pyatspi.ROLE_LIST})
            item = listbox and find(listbox, argv[3], {pyatspi.ROLE_LIST_ITEM})
            if item:
                click_at(screen_point(window.name, item))
                return 0
        return 2
    return 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
