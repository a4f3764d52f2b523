#!/usr/bin/python3
"""Reads the program's labels over the accessibility bus (AT-SPI), the way a screen reader would.

    status_text.py wait <application name> <text> <seconds>

Waits until one of the application's labels reads exactly <text>.
Exit status: 0 found; 1 the application is on the bus but no label read <text> in time (the labels last seen
are printed); 2 there is no accessibility bus, no pyatspi, or the application never showed up on the bus.
"""
import sys
import time

NOT_THERE = 2


def labels(node, found, depth=0):
    if node is None or depth > 40:
        return found
    try:
        if node.getRoleName() == "label":
            found.append(node.name)
        children = list(node)
    except Exception:  # a node can vanish while it is being read
        return found
    for child in children:
        labels(child, found, depth + 1)
    return found


def application(desktop, name):
    for index in range(desktop.childCount):
        try:
            app = desktop.getChildAtIndex(index)
            if app is not None and app.name == name:
                return app
        except Exception:
            continue
    return None


def wait(app_name, text, seconds):
    try:
        import pyatspi
        desktop = pyatspi.Registry.getDesktop(0)
    except Exception as error:
        print(f"no accessibility bus: {error}")
        return NOT_THERE
    deadline = time.monotonic() + seconds
    seen_app = False
    last = []
    while True:
        app = application(desktop, app_name)
        if app is not None:
            seen_app = True
            last = labels(app, [])
            if text in last:
                return 0
        if time.monotonic() > deadline:
            break
        time.sleep(0.2)
    if not seen_app:
        print(f"{app_name} did not show up on the accessibility bus")
        return NOT_THERE
    print(f"no label reads {text!r}; labels: {last!r}")
    return 1


def main(argv):
    if len(argv) != 5 or argv[1] != "wait":
        print(__doc__.strip())
        return 64
    return wait(argv[2], argv[3], float(argv[4]))


if __name__ == "__main__":
    sys.exit(main(sys.argv))
