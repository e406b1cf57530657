"""Walks Kalvero's windows over AT-SPI (see a11y-atspi.sh)."""
import sys
import time

import pyatspi

FIELDS = {"Neu oder Ändern": ["Quellverzeichnis", "Zielverzeichnis"]}
failures = []


def find_app():
    for _ in range(100):
        desktop = pyatspi.Registry.getDesktop(0)
        for app in desktop:
            if app is not None and app.name.lower().startswith("kalvero"):
                return app
        time.sleep(0.2)
    sys.exit("kalvero did not show up on the accessibility bus")


def walk(node):
    yield node
    for child in node:
        if child is not None:
            yield from walk(child)


def window(app, title):
    for _ in range(50):
        for w in app:
            if w is not None and w.name == title:
                return w
        time.sleep(0.2)
    sys.exit(f"no window '{title}'")


def press(root, name):
    for node in walk(root):
        if node.getRole() == pyatspi.ROLE_PUSH_BUTTON and node.name == name:
            node.queryAction().doAction(0)
            return
    sys.exit(f"no button '{name}'")


def labels_of(node):
    names = []
    for rel in node.getRelationSet():
        if rel.getRelationType() == pyatspi.RELATION_LABELLED_BY:
            names += [rel.getTarget(i).name for i in range(rel.getNTargets())]
    return names


def report(w):
    print(f"== {w.name}")
    # A combo box's popup list speaks through the combo box.
    focusable = [n for n in walk(w) if n.getState().contains(pyatspi.STATE_FOCUSABLE) and
                 n.parent.getRole() != pyatspi.ROLE_COMBO_BOX]
    for n in focusable:
        if n.getRole() in (pyatspi.ROLE_TABLE_CELL, pyatspi.ROLE_TABLE_COLUMN_HEADER, pyatspi.ROLE_PAGE_TAB):
            continue
        desc = n.description
        print(f"  {n.getRoleName():14} name={n.name!r} labelled-by={labels_of(n)} description={desc!r}")
        if not n.name:
            failures.append(f"{w.name}: {n.getRoleName()} without a name, in {n.parent.getRoleName()} "
                            f"{n.parent.name!r} with {n.childCount} children")
        if "<" in desc:
            failures.append(f"{w.name}: markup in the description of {n.name!r}")
    for label in FIELDS.get(w.name, []):
        fields = [n for n in focusable if n.getRole() == pyatspi.ROLE_TEXT and label in labels_of(n)]
        if len(fields) != 1 or fields[0].name != label:
            failures.append(f"{w.name}: no text field found by its label {label!r}")


app = find_app()
main = window(app, "Kalvero")
report(main)
press(main, "Neu / Ändern ...")
report(window(app, "Neu oder Ändern"))
press(main, "Zeitplan ...")
report(window(app, "Zeitplan"))
for f in failures:
    print("FAIL:", f)
sys.exit(1 if failures else 0)
