"""Reads and drives the main window through AT-SPI only, the way a screen reader does.

Run by run.sh inside its own X server and session bus. A command that opens a modal dialog does
not answer over D-Bus until the dialog closes, so such presses run in a child process
(`drive.py --press ROLE NAME`) while this one reads and answers the dialog.
"""

import os
import signal
import subprocess
import sys
import time

import pyatspi

APP = "kv6reprt"
failures = []


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what, flush=True)
    if not ok:
        failures.append(what)


def wait_for(probe, seconds=20):
    end = time.time() + seconds
    while time.time() < end:
        value = probe()
        if value:
            return value
        time.sleep(0.2)
    return None


def application():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == APP:
            return app
    return None


def walk(node, into_cells=False):
    if node is None:
        return
    yield node
    if not into_cells and node.getRoleName() in ("table", "tree table", "tree"):
        # Grids are read through their headers and first rows below, not cell by cell.
        for i, child in enumerate(node):
            if i > 40:
                break
            yield child
        return
    for child in node:
        yield from walk(child, into_cells)


def showing(node):
    return node.getState().contains(pyatspi.STATE_SHOWING)


def find(root, role, name, must_show=False):
    for node in walk(root):
        if node.getRoleName() == role and node.name == name and (not must_show or showing(node)):
            return node
    return None


def press(node):
    action = node.queryAction()
    for i in range(action.nActions):
        if action.getName(i) in ("Press", "Toggle", "Click"):
            return action.doAction(i)
    return action.doAction(0)


def press_in_child(role, name):
    return subprocess.Popen([sys.executable, __file__, "--press", role, name])


def child_press(role, name):
    app = wait_for(application)
    node = find(app, role, name)
    if node is None:
        sys.exit(2)
    try:
        press(node)
    except Exception:
        # The reply is lost when the program ends or a dialog keeps it busy; the parent checks
        # the outcome itself.
        pass


def main():
    launcher = subprocess.Popen(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"])
    time.sleep(0.5)
    program = subprocess.Popen([os.environ["KV6_PROGRAM"]])
    try:
        run_checks(program)
    finally:
        if program.poll() is None:
            program.send_signal(signal.SIGTERM)
            program.wait(20)
        launcher.terminate()
    if failures:
        print(f"{len(failures)} check(s) failed", flush=True)
        sys.exit(1)


def run_checks(program):
    app = wait_for(application)
    check(app is not None, "the program registers with the accessibility bus")
    if app is None:
        return
    frame = wait_for(lambda: find(app, "frame", "Korvane 6", must_show=True))
    check(frame is not None, "the main window is shown under its title")
    if frame is None:
        return
    wait_for(lambda: find(frame, "table cell", "<INDIVIDUAL>"))

    # Every control a user can reach carries a name to read out.
    interactive = ("menu item", "push button", "page tab", "check box", "toggle button")
    nameless = [n.getRoleName() for n in walk(app) if n.getRoleName() in interactive
                and showing(n) and not n.name]
    check(not nameless, f"every shown control has a name (nameless: {nameless})")
    menus = [n.name for n in walk(app) if n.getRoleName() == "menu item" and showing(n)]
    check(menus == ["File", "Groups", "Reports", "Tools", "Help"],
          f"the advanced mode's menu bar reads File, Groups, Reports, Tools, Help ({menus})")
    buttons = [n.name for n in walk(find(app, "tool bar", "Korvane 6") or app)
               if n.getRoleName() == "push button" and showing(n)]
    check(buttons[:2] == ["Load Groups", "Save Groups"] and "Create Report" in buttons,
          f"the toolbar buttons read by their captions ({buttons})")
    headers = [n.name for n in walk(find(app, "tree", "Printers") or app)
               if n.getRoleName() == "table column header" and showing(n)]
    check(headers[:2] == ["Include", "Name"] and not any(h.startswith("CKEY") for h in headers),
          f"the printer grid's column headers read as captions, never as keys ({headers})")
    check(find(app, "table cell", "Include: Yes") is not None,
          "an include check box reads out its state")

    # Switching grids by the tab a screen reader lists.
    users_tab = find(app, "page tab", "Users", must_show=True)
    check(users_tab is not None, "the user grid's tab is listed")
    if users_tab is not None:
        press(users_tab)
        check(wait_for(lambda: find(app, "tree", "Users", must_show=True)) is not None,
              "pressing the Users tab shows the user grid")

    # A command that opens a dialog, answered through the dialog's own button.
    child = press_in_child("menu item", "About")
    about = wait_for(lambda: next((n for n in walk(app) if n.getRoleName() in ("alert", "dialog")
                                   and showing(n) and n.name), None))
    check(about is not None, "Help > About opens a dialog that a screen reader finds")
    if about is not None:
        text = " ".join(n.name for n in walk(about) if n.getRoleName() == "label")
        check("Version" in text, f"the About dialog reads out the version ({text!r})")
        ok = find(about, "push button", "OK")
        check(ok is not None, "the About dialog's button is named OK")
        if ok is not None:
            press(ok)
            check(wait_for(lambda: not showing(about), 10) is not None or not showing(about),
                  "pressing OK closes the About dialog")
    child.wait(30)

    # Leaving by the menu ends the program cleanly.
    press_in_child("menu item", "Exit").wait(30)
    try:
        code = program.wait(20)
    except subprocess.TimeoutExpired:
        code = None
    check(code == 0, f"File > Exit ends the program with status 0 ({code})")


if __name__ == "__main__":
    if len(sys.argv) == 4 and sys.argv[1] == "--press":
        child_press(sys.argv[2], sys.argv[3])
    else:
        main()
