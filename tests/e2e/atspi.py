#!/usr/bin/python3
"""Drives the running Quillatorne through the accessibility bus, one step per call.

    atspi.py press NAME          press the button of that accessible name
    atspi.py focus NAME          give that control the keyboard focus
    atspi.py text NAME           print the text of that edit
    atspi.py enabled NAME        print 1 when that control can be used, else 0
    atspi.py items NAME          print the lines of that list, one a line

Buttons that open a modal box are clicked, not pressed: a press waits for the box to close.
Exits with 2 when the program or the control is not (yet) there.
"""
import sys

import pyatspi

BUTTONS = {pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_TOGGLE_BUTTON, pyatspi.ROLE_CHECK_BOX,
           pyatspi.ROLE_RADIO_BUTTON}
EDITS = {pyatspi.ROLE_TEXT, pyatspi.ROLE_PASSWORD_TEXT, pyatspi.ROLE_SPIN_BUTTON}
LISTS = {pyatspi.ROLE_LIST}
CONTROL_ROLES = BUTTONS | EDITS | LISTS | {pyatspi.ROLE_COMBO_BOX}


def application():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name.lower() == "quillatorne":
            return app
    return None


def showing(node):
    states = node.getState()
    return states.contains(pyatspi.STATE_SHOWING) and states.contains(pyatspi.STATE_VISIBLE)


def shown(node):
    # Qt reports no showing state for combo boxes: go by the controls beside them.
    if node.getRole() == pyatspi.ROLE_COMBO_BOX:
        return any(s is not None and s is not node and showing(s) for s in node.parent)
    return showing(node)


def control(name, roles):
    app = application()
    if app is None:
        print("the program is not on the accessibility bus", file=sys.stderr)
        sys.exit(2)
    found = pyatspi.findAllDescendants(
        app, lambda n: n.name == name and n.getRole() in roles and shown(n))
    if not found:
        # A combo box is named by its current item; its label names it for the user.
        for label in pyatspi.findAllDescendants(
                app, lambda n: n.name == name and n.getRole() == pyatspi.ROLE_LABEL):
            for relation in label.getRelationSet():
                if relation.getRelationType() != pyatspi.RELATION_LABEL_FOR:
                    continue
                for i in range(relation.getNTargets()):
                    target = relation.getTarget(i)
                    if target.getRole() in roles and shown(target):
                        found.append(target)
    if not found:
        print("no control named %r is showing" % name, file=sys.stderr)
        sys.exit(2)
    return found[0]


def main():
    verb, name = sys.argv[1], sys.argv[2]
    roles = {"press": BUTTONS, "text": EDITS, "items": LISTS}.get(verb, CONTROL_ROLES)
    node = control(name, roles)
    if verb == "press":
        action = node.queryAction()
        for i in range(action.nActions):
            if action.getName(i) in ("Press", "Toggle"):
                action.doAction(i)
                return
        action.doAction(0)
    elif verb == "focus":
        node.queryComponent().grabFocus()
    elif verb == "text":
        print(node.queryText().getText(0, -1))
    elif verb == "enabled":
        print(1 if node.getState().contains(pyatspi.STATE_ENABLED) else 0)
    elif verb == "items":
        for child in node:
            if child is not None and child.getRole() == pyatspi.ROLE_LIST_ITEM:
                print(child.name)
    else:
        sys.exit("unknown verb " + verb)


if __name__ == "__main__":
    main()
