#!/usr/bin/env python3
"""A screen reader's view of the running installer, through AT-SPI (pyatspi).

Usage: screen_reader_client.py PID FOLDER

Finds the program of process PID on the accessibility bus and, as a person
with a screen reader would: reads the start page's names and roles, opens
the custom page with its button's action, reads the folder field and the
check boxes, unticks one, types FOLDER into the field, starts the
installation, asks to quit and hears the question read out as the dialog
opens, answers "No", starts the installation, hears the progress move and
waits for the last page.
Prints what it read; exits 0 when everything was as expected, 1 otherwise.
"""
import os
import sys
import time

import pyatspi
from gi.repository import GLib

LIMIT = 60.0  # seconds per wait; the machine may be busy

heard = []  # (event type, source role, source name, description)


def listener(event):
    try:
        source = event.source
        heard.append((event.type, source.getRoleName(), source.name or "", source.description or "",
                      event.detail1))
    except Exception:  # the object may already be gone
        heard.append((event.type, "", "", "", 0))


def pump(seconds):
    end = time.monotonic() + seconds
    context = GLib.MainContext.default()
    while time.monotonic() < end:
        while context.pending():
            context.iteration(False)
        time.sleep(0.02)


def wait_for(what, condition):
    end = time.monotonic() + LIMIT
    while time.monotonic() < end:
        try:
            value = condition()
        except Exception:
            value = None
        if value:
            return value
        pump(0.1)
    raise SystemExit(f"FAIL: waited {LIMIT:.0f} s for {what}")


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what, flush=True)
    if not ok:
        raise SystemExit(1)


def app_of(pid):
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is not None and app.get_process_id() == pid:
            return app
    return None


def windows(app):
    return [app.getChildAtIndex(i) for i in range(app.childCount)]


def outline(window):
    out = []
    for i in range(window.childCount):
        child = window.getChildAtIndex(i)
        out.append((child.getRoleName(), child.name, child))
    return out


def find(window, role, name=None):
    for r, n, child in outline(window):
        if r == role and (name is None or n == name):
            return child
    return None


def has(obj, state):
    return obj.getState().contains(state)


def press(obj, action_name):
    action = obj.queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    check(action_name in names, f"{obj.getRoleName()} '{obj.name}' offers '{action_name}' ({names})")
    check(action.doAction(names.index(action_name)), f"'{action_name}' on '{obj.name}' accepted")


def main():
    pid = int(sys.argv[1])
    folder = sys.argv[2]
    for kind in ("window:activate", "object:property-change:accessible-value", "object:state-changed:focused",
                 "object:children-changed"):
        pyatspi.Registry.registerEventListener(listener, kind)

    app = wait_for("the program on the accessibility bus", lambda: app_of(pid))
    main_window = wait_for("the main window", lambda: next((w for w in windows(app) if w.getRoleName() == "frame"), None))
    print("window:", main_window.getRoleName(), repr(main_window.name))

    # ---- the start page ----
    install = wait_for("the install button", lambda: find(main_window, "push button", "Install now"))
    start = [(r, n) for r, n, _ in outline(main_window)]
    print("start page:", start)
    for expected in [("push button", "Install now"), ("push button", "Custom installation"),
                     ("push button", "Close"), ("push button", "Minimize"), ("image", "Talvorin"),
                     ("combo box", "Language")]:
        check(expected in start, f"start page has {expected[0]} '{expected[1]}'")
    check(all(n for _, n in start), "every control on the start page has a name")
    check(has(install, pyatspi.STATE_FOCUSED), "focus starts on 'Install now'")
    check(install.queryComponent().getExtents(pyatspi.DESKTOP_COORDS).width > 0, "the button has a place on screen")

    # ---- the custom page ----
    press(find(main_window, "push button", "Custom installation"), "press")
    field = wait_for("the folder field", lambda: find(main_window, "entry"))
    text = field.queryText()
    value = text.getText(0, -1)
    print("folder field:", repr(field.name), repr(value))
    check(field.name == "Install to:", "the folder field is named by its label")
    check(value.endswith("Talvorin") and len(value) > len("Talvorin"), "the folder field shows the default folder")
    desktop_box = find(main_window, "check box", "Create a desktop shortcut")
    quick_box = find(main_window, "check box", "Add to the Quick Launch bar")
    check(desktop_box is not None and quick_box is not None, "both options are check boxes")
    check(has(desktop_box, pyatspi.STATE_CHECKED) and has(quick_box, pyatspi.STATE_CHECKED), "both start ticked")
    press(quick_box, "toggle")
    wait_for("the quick launch box unticked", lambda: not has(quick_box, pyatspi.STATE_CHECKED))
    check(True, "the quick launch box is unticked")
    check(field.queryEditableText().setTextContents(folder), "the folder field takes a new value")
    wait_for("the new folder in the field", lambda: field.queryText().getText(0, -1) == folder)
    check(True, "the folder field shows the new folder")

    # ---- a dialog: asking to quit reads the question out ----
    close = find(main_window, "push button", "Close")
    press(close, "press")
    dialog = wait_for("the quit question", lambda: next((w for w in windows(app) if w.getRoleName() == "dialog"), None))
    announced = wait_for("the dialog's announcement", lambda: [h for h in heard if h[0] == "window:activate" and h[1] == "dialog"])
    print("announced:", announced[0])
    check(announced[0][3] == "Are you sure you want to quit the installation?", "the dialog is announced with its message")
    no = find(dialog, "push button", "No")
    check(no is not None and has(no, pyatspi.STATE_FOCUSED), "the dialog's focus is on 'No'")
    # AT-SPI answers an action before it runs; the refusal shows in its effect:
    # no second question behind the first.
    close.queryAction().doAction(0)
    pump(1.5)
    check(sum(w.getRoleName() == "dialog" for w in windows(app)) == 1,
          "the main window takes no action while the dialog is open")
    press(no, "press")
    wait_for("the dialog to go", lambda: all(w.getRoleName() != "dialog" for w in windows(app)))

    # ---- installing ----
    page_install = find(main_window, "push button", "Install now")
    press(page_install, "press")
    bar = wait_for("the progress bar", lambda: find(main_window, "progress bar"))
    check(bar.name == "Installation progress", "the progress bar has a name")
    first = bar.queryValue().currentValue
    wait_for("the progress to move", lambda: bar.queryValue().currentValue > first)
    wait_for("a progress change announced", lambda: any(
        h[0].startswith("object:property-change:accessible-value") and h[1] == "progress bar" for h in heard))
    check(True, "progress changes were announced")
    print("progress:", bar.queryValue().currentValue, flush=True)

    done = wait_for("the finished page", lambda: find(main_window, "push button", "Start now"))
    check(done is not None, "the finished page shows 'Start now'")
    print("finished page:", [(r, n) for r, n, _ in outline(main_window)])
    return 0


if __name__ == "__main__":
    os.dup2(1, 2)  # one stream for the test to show
    sys.exit(main())
