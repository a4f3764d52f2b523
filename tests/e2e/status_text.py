#!/usr/bin/python3
"""Reads the program's labels over the accessibility bus (AT-SPI), the way a screen reader would.

    status_text.py wait <application name> <text> <seconds>
    status_text.py roles <application name> <seconds>
    status_text.py name-change <application name> <text> <seconds>
    status_text.py buttons <application name> <window name> <seconds>

wait: waits until one of the application's labels reads exactly <text>.
roles: the application's window is a frame holding a status bar, whose children are labels only.
buttons: prints the names of the push buttons of the application's window named <window name>, one a line.
name-change: prints "listening" once it listens, then waits for a label to announce <text> as its new name,
the event a screen reader speaks a new status line from.
Exit status: 0 found; 1 the application is on the bus but not as asked (what was seen is printed); 2 there is
no accessibility bus, no pyatspi, or the application never showed up on the bus.
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


def accessible_desktop():
    """The desktop of the accessibility bus; None, saying why, when there is no bus or no pyatspi."""
    try:
        import pyatspi
        return pyatspi.Registry.getDesktop(0)
    except Exception as error:
        print(f"no accessibility bus: {error}")
        return None


def application(desktop, name):
    for index in range(desktop.childCount):
        try:
            app = desktop.getChildAtIndex(index)
            if app is not None and app.name == name:
                return app
        except Exception:
            continue
    return None


def poll(app_name, seconds, look):
    """Asks look(app) about the application every 0.2 s until it answers (anything but None) or `seconds` are up.
    Its answer; None when the application showed up but look never answered; NOT_THERE, saying why, when there is
    no bus or the application never showed up on it."""
    desktop = accessible_desktop()
    if desktop is None:
        return NOT_THERE
    deadline = time.monotonic() + seconds
    seen_app = False
    while True:
        app = application(desktop, app_name)
        if app is not None:
            seen_app = True
            answer = look(app)
            if answer is not None:
                return answer
        if time.monotonic() > deadline:
            break
        time.sleep(0.2)
    if not seen_app:
        print(f"{app_name} did not show up on the accessibility bus")
        return NOT_THERE
    return None


def wait(app_name, text, seconds):
    last = []

    def look(app):
        last[:] = labels(app, [])
        return 0 if text in last else None

    status = poll(app_name, seconds, look)
    if status is None:
        print(f"no label reads {text!r}; labels: {last!r}")
        return 1
    return status


def roles_of(node, depth=0):
    """The node's role and its children's, nested: ("frame", [("push button", []), …])."""
    if node is None or depth > 40:
        return ("", [])
    try:
        return (node.getRoleName(), [roles_of(child, depth + 1) for child in node])
    except Exception:  # a node can vanish while it is being read
        return ("", [])


def find_role(tree, role):
    if tree[0] == role:
        return tree
    for child in tree[1]:
        found = find_role(child, role)
        if found is not None:
            return found
    return None


def roles(app_name, seconds):
    def look(app):
        windows = [roles_of(child) for child in app]
        frames = [window for window in windows if window[0] == "frame"]
        bar = find_role(frames[0], "status bar") if frames else None
        if bar is None or not bar[1] or any(child[0] != "label" for child in bar[1]):
            print(f"no frame with a status bar of labels; windows: {windows!r}")
            return 1
        return 0

    return poll(app_name, seconds, look)


def named_nodes(node, name, role, found, depth=0):
    """Every node below `node` (itself included) with that name, or with that role when `name` is None."""
    if node is None or depth > 40:
        return found
    try:
        if (name is None and node.getRoleName() == role) or (name is not None and node.name == name):
            found.append(node)
        children = list(node)
    except Exception:  # a node can vanish while it is being read
        return found
    for child in children:
        named_nodes(child, name, role, found, depth + 1)
    return found


def buttons(app_name, window_name, seconds):
    def look(app):
        for window in named_nodes(app, window_name, None, []):
            names = [button.name for button in named_nodes(window, None, "push button", [])]
            if names:
                print("\n".join(names))
                return 0
        return None

    status = poll(app_name, seconds, look)
    if status is None:
        print(f"no window {window_name!r} with push buttons")
        return 1
    return status


def name_change(app_name, text, seconds):
    try:
        import pyatspi
        from gi.repository import GLib
    except Exception as error:
        print(f"no accessibility bus: {error}")
        return NOT_THERE
    heard = []

    def on_event(event):
        try:
            source = event.source
            if source.getRoleName() == "label" and source.getApplication().name == app_name:
                # Qt sends the object along with the event, not its new name: the name is read from it.
                heard.append(source.name)
                if source.name == text:
                    pyatspi.Registry.stop()
        except Exception:
            pass

    def give_up():
        pyatspi.Registry.stop()
        return False

    try:
        pyatspi.Registry.registerEventListener(on_event, "object:property-change:accessible-name")
    except Exception as error:
        print(f"no accessibility bus: {error}")
        return NOT_THERE
    print("listening", flush=True)
    GLib.timeout_add(int(seconds * 1000), give_up)
    pyatspi.Registry.start()
    if text in heard:
        return 0
    print(f"no label announced {text!r}; heard: {heard!r}")
    return 1


def main(argv):
    if len(argv) == 5 and argv[1] == "wait":
        return wait(argv[2], argv[3], float(argv[4]))
    if len(argv) == 4 and argv[1] == "roles":
        return roles(argv[2], float(argv[3]))
    if len(argv) == 5 and argv[1] == "buttons":
        return buttons(argv[2], argv[3], float(argv[4]))
    if len(argv) == 5 and argv[1] == "name-change":
        return name_change(argv[2], argv[3], float(argv[4]))
    print(__doc__.strip())
    return 64


if __name__ == "__main__":
    sys.exit(main(sys.argv))
