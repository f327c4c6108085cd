#!/usr/bin/python3
# Reads KeyCask's accessible tree over AT-SPI, as a screen reader does: signs in, adds two
# entries through the accessible actions and texts, then checks the list's table (rows, headers,
# cells, masked passwords, notes, selection) and that no masked password is reachable.
# Usage: atspi_tree.py BUILD_DIR [--dump]. Prints "SKIP: ..." and exits 0 when the AT-SPI
# packages are missing; exits 1 on a failure. Runs on its own Xvfb and D-Bus session.
import os
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time

# The whole run, and each wait for the program to reach a state.
RUN_SECONDS = 150
WAIT_SECONDS = 30

MASTER = "Cask-master-1"
ENTRIES = [  # title, user, password, notes
    ("Bob's bank", "bob", "x9-vault", "Branch on Main St"),
    ("Chess club", "carl", "knight-42", ""),
]


class Failure(Exception):
    pass


class NotOnBus(Failure):
    """The running program never appeared on the accessibility bus."""


# The exit code of a run in which the program never appeared on the accessibility bus: on a
# loaded machine the bus launcher can answer the program too late, and the run is made once more.
NOT_ON_BUS = 3


# The program's accessible application object, once found: its tree is printed on a failure.
FOUND = {}


def skip_reason():
    missing = [tool for tool in ("Xvfb", "dbus-run-session", "xdotool") if not shutil.which(tool)]
    if not os.path.exists("/usr/libexec/at-spi-bus-launcher"):
        missing.append("at-spi2-core")
    try:
        import pyatspi  # noqa: F401
    except ImportError:
        missing.append("python3-pyatspi")
    return ", ".join(missing)


def outer(build, dump):
    code = attempt(build, dump)
    if code == NOT_ON_BUS:
        print("  the program did not reach the accessibility bus; the check runs once more")
        code = attempt(build, dump)
    return 0 if code == 0 else 1


def attempt(build, dump):
    missing = skip_reason()
    if missing:
        print(f"SKIP: AT-SPI check: not installed: {missing}")
        return 0
    for name in ("keycask", "keycask_mkdata", "help"):
        if not os.path.exists(os.path.join(build, name)):
            print(f"FAIL: AT-SPI check: {name} missing in {build}")
            return 1
    command = ["dbus-run-session", "--", sys.executable, os.path.abspath(__file__), "--inner",
               os.path.abspath(build)] + (["--dump"] if dump else [])
    # Processes the run leaves behind (the buses' helpers) become ours, to be ended and reaped.
    become_subreaper()
    with tempfile.TemporaryFile(mode="w+") as messages:
        run = subprocess.Popen(command, start_new_session=True, stderr=messages)
        try:
            code = run.wait(timeout=RUN_SECONDS)
        except subprocess.TimeoutExpired:
            print(f"FAIL: AT-SPI check: no result within {RUN_SECONDS} s")
            code = 1
        end_children()
        if code != 0:
            messages.seek(0)
            print("  messages of the run:")
            for line in messages.readlines()[-20:]:
                print("  " + line.rstrip())
    return code


def become_subreaper():
    try:
        import ctypes
        ctypes.CDLL(None, use_errno=True).prctl(36, 1, 0, 0, 0)  # PR_SET_CHILD_SUBREAPER
    except (OSError, AttributeError):
        pass


def children():
    found = []
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                with open(f"/proc/{entry}/stat") as stat:
                    fields = stat.read().rsplit(")", 1)[1].split()
            except OSError:
                continue
            if int(fields[1]) == os.getpid():
                found.append(int(entry))
    return found


def end_children():
    """Ends every process still under this one, by its id, then reaps them."""
    for sig in (signal.SIGTERM, signal.SIGKILL):
        for pid in children():
            try:
                os.kill(pid, sig)
            except ProcessLookupError:
                pass
        deadline = time.monotonic() + 5
        while time.monotonic() < deadline:
            try:
                pid, _ = os.waitpid(-1, os.WNOHANG)
            except ChildProcessError:
                return
            if pid == 0:
                time.sleep(0.1)


def start_xvfb():
    read_end, write_end = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x800x24",
                             "-nolisten", "tcp"], pass_fds=(write_end,),
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    # The number comes with a newline once the server takes connections; the pipe stays open
    # until then, as the server fails when it cannot write the whole line.
    text = b""
    deadline = time.monotonic() + WAIT_SECONDS
    while not text.endswith(b"\n") and time.monotonic() < deadline:
        ready, _, _ = select.select([read_end], [], [], max(0.0, deadline - time.monotonic()))
        chunk = os.read(read_end, 64) if ready else b""
        if not chunk:
            break
        text += chunk
    os.close(read_end)
    number = text.decode().strip() if text.endswith(b"\n") else ""
    if not number:
        xvfb.kill()
        raise Failure("Xvfb did not start")
    return xvfb, ":" + number


def make_app_folder(build, root):
    """The program, its help pages and a new data file in a folder of their own."""
    app = os.path.join(root, "app")
    os.makedirs(os.path.join(app, "Database"))
    shutil.copy2(os.path.join(build, "keycask"), app)
    shutil.copytree(os.path.join(build, "help"), os.path.join(app, "help"))
    subprocess.run([os.path.join(build, "keycask_mkdata"),
                    os.path.join(app, "Database", "pwd.quillondata")],
                   check=True, stdout=subprocess.DEVNULL, timeout=WAIT_SECONDS)
    return app


def wait_for(what, probe):
    """Polls probe until it gives something true; the AT-SPI calls themselves may fail meanwhile."""
    deadline = time.monotonic() + WAIT_SECONDS
    last_error = None
    while time.monotonic() < deadline:
        try:
            found = probe()
            if found:
                return found
        except Exception as error:  # the object may be gone or not yet there
            last_error = error
        time.sleep(0.2)
    raise Failure(f"timed out waiting for {what}" + (f" ({last_error})" if last_error else ""))


def walk(node, depth=0, limit=40):
    yield node, depth
    if depth >= limit:
        return
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            yield from walk(child, depth + 1, limit)


def find(root, role, name=None, showing=True):
    import pyatspi
    for node, _ in walk(root):
        if node.getRole() != role or (name is not None and node.name != name):
            continue
        if showing and not node.getState().contains(pyatspi.STATE_SHOWING):
            continue
        return node
    return None


def label_of(node):
    """What a reader says for a field: the label it is labelled by, else its name."""
    import pyatspi
    for relation in node.getRelationSet():
        if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY and relation.getNTargets():
            return relation.getTarget(0).name
    return node.name


def field(root, label):
    import pyatspi
    roles = (pyatspi.ROLE_TEXT, pyatspi.ROLE_PASSWORD_TEXT, pyatspi.ROLE_COMBO_BOX)
    for node, _ in walk(root):
        if node.getRole() in roles and label_of(node) == label and \
                node.getState().contains(pyatspi.STATE_SHOWING):
            if node.getRole() == pyatspi.ROLE_COMBO_BOX:  # its text box takes the text
                node = next(child for child, _ in walk(node)
                            if child.getRole() == pyatspi.ROLE_TEXT)
            return node
    return None


def set_text(root, label, text):
    box = wait_for(f"the field {label!r}", lambda: field(root, label))
    box.queryEditableText().setTextContents(text)


def press(root, role, name):
    target = wait_for(f"{name!r}", lambda: find(root, role, name))
    action = target.queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    if "Press" not in names:
        raise Failure(f"{name!r} offers no press action: {names}")
    action.doAction(names.index("Press"))


def click(node):
    extents = node.queryComponent().getExtents(0)  # screen coordinates
    x, y = extents.x + extents.width // 2, extents.y + extents.height // 2
    subprocess.run(["xdotool", "mousemove", str(x), str(y), "click", "1"], check=True,
                   timeout=WAIT_SECONDS)


def print_tree(root):
    import pyatspi
    for node, depth in walk(root):
        try:
            shown = node.getState().contains(pyatspi.STATE_SHOWING)
            print(f"{'  ' * depth}{node.getRoleName()}: {node.name!r}" +
                  ("" if shown else " (not showing)"))
        except Exception as error:  # an object that went away meanwhile
            print(f"{'  ' * depth}? {error}")


def table_rows(table):
    cells = table.queryTable()
    rows = []
    for r in range(cells.nRows):
        rows.append([cells.getAccessibleAt(r, c).name for c in range(cells.nColumns)])
    return rows


def spin(seconds):
    """Runs the event loop for a while, so that events from the program arrive."""
    from gi.repository import GLib
    loop = GLib.MainLoop()
    GLib.timeout_add(int(seconds * 1000), loop.quit)
    loop.run()


def check(condition, message):
    if not condition:
        raise Failure(message)


def run_checks(dump):
    import pyatspi
    from gi.repository import Atspi

    desktop = pyatspi.Registry.getDesktop(0)

    def application():
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            if app is not None and app.name.lower() == "keycask":
                return app
        return None

    try:
        app = wait_for("KeyCask on the AT-SPI bus", application)
    except Failure as failure:
        raise NotOnBus(str(failure)) from None
    FOUND["app"] = app

    # Sign-in: a new data file asks for the master password twice.
    login = wait_for("the sign-in window", lambda: find(app, pyatspi.ROLE_DIALOG, "KeyCask"))
    set_text(login, "Password", MASTER)
    set_text(login, "Confirm", MASTER)
    click(wait_for("the Enter image", lambda: find(login, pyatspi.ROLE_IMAGE, "Enter")))

    def main_window():
        for i in range(app.childCount):
            window = app.getChildAtIndex(i)
            if window is not None and find(window, pyatspi.ROLE_TABLE, "Passwords"):
                return window
        return None

    def main_window_after_notes():
        # The first sign-in tells the user to remember the password: OK goes on.
        note = find(app, pyatspi.ROLE_ALERT)
        if note is not None:
            press(note, pyatspi.ROLE_PUSH_BUTTON, "OK")
            return None
        return main_window()

    main = wait_for("the main window", main_window_after_notes)

    # Two entries, added as a screen reader user would: the Add link's press action, the
    # fields' texts, the Save buttons.
    press(main, pyatspi.ROLE_LINK, "Add")
    editor = wait_for("the password editor",
                      lambda: find(app, pyatspi.ROLE_DIALOG, "Add new password"))
    for number, (title, user, password, notes) in enumerate(ENTRIES):
        set_text(editor, "Title", title)
        set_text(editor, "User Name", user)
        set_text(editor, "Password", password)
        set_text(editor, "Notes", notes)
        last = number == len(ENTRIES) - 1
        press(editor, pyatspi.ROLE_PUSH_BUTTON, "Save" if last else "Save And New")
        if not last:
            wait_for("the emptied editor", lambda: field(editor, "Title").queryText().
                     getText(0, -1) == "")
    table_node = find(main, pyatspi.ROLE_TABLE, "Passwords")
    wait_for("two rows in the list", lambda: table_node.queryTable().nRows == len(ENTRIES))

    table = table_node.queryTable()
    headers = [table.getColumnDescription(c) for c in range(table.nColumns)]
    check(headers == ["Title", "User Name", "Password"], f"column headers {headers}")
    rows = table_rows(table_node)
    expected = [[title, user, "hidden password"] for title, user, _, _ in ENTRIES]
    check(rows == expected, f"rows {rows}, expected {expected}")
    descriptions = [table.getRowDescription(r) for r in range(table.nRows)]
    check(descriptions == [notes for *_, notes in ENTRIES], f"row descriptions {descriptions}")
    header = table.getColumnHeader(0)
    check(header is not None and header.name == "Title", "the first column's header cell")

    # Nothing in the main window reaches a masked password.
    texts = []
    for node, _ in walk(main):
        texts += [node.name, node.description]
    for _, _, password, _ in ENTRIES:
        check(not any(password in text for text in texts), "a masked password is exposed")

    # Selecting another row through the table: the row is selected and its first cell tells so.
    target = next(r for r in range(table.nRows) if not table.isRowSelected(r))
    seen = []

    def on_selected(event):
        try:
            seen.append(event.source.get_name())
        except Exception as error:  # the cell went away meanwhile
            seen.append(f"? {error}")

    listener = Atspi.EventListener.new(on_selected)
    listener.register("object:state-changed:selected")
    spin(0.5)  # lets the program learn of the listener
    check(table.addRowSelection(target), "the table refused to select a row")
    for _ in range(50):
        if ENTRIES[target][0] in seen:
            break
        spin(0.1)
    listener.deregister("object:state-changed:selected")
    check(table.isRowSelected(target) and table.nSelectedRows == 1, "the selected row")
    check(ENTRIES[target][0] in seen, f"no selection event for the row: {seen}")

    # Reveal: the list now reads the passwords themselves.
    press(main, pyatspi.ROLE_LINK, "Reveal")
    wait_for("revealed passwords",
             lambda: [row[2] for row in table_rows(table_node)] == [e[2] for e in ENTRIES])

    if dump:
        print_tree(main)
    print("AT-SPI: table 'Passwords', columns " + " | ".join(headers) + "; rows: " +
          "; ".join(" | ".join(row) for row in rows) + f"; selection announced for {seen}")


def inner(build, dump):
    root = tempfile.mkdtemp(prefix="keycask-atspi-")
    xvfb = None
    program = None
    try:
        xvfb, display = start_xvfb()
        app = make_app_folder(build, root)
        home = os.path.join(root, "home")
        runtime = os.path.join(root, "runtime")
        os.makedirs(home)
        os.makedirs(runtime, mode=0o700)
        env = dict(os.environ, DISPLAY=display, HOME=home, XDG_CONFIG_HOME=home + "/.config",
                   XDG_DATA_HOME=home + "/.local/share", XDG_RUNTIME_DIR=runtime,
                   QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                   QT_ACCESSIBILITY="1")
        os.environ.update(DISPLAY=display)
        log = open(os.path.join(root, "keycask.log"), "w")
        program = subprocess.Popen([os.path.join(app, "keycask")], env=env, cwd=app,
                                   stdout=log, stderr=subprocess.STDOUT)
        run_checks(dump)
        print("AT-SPI check passed")
        return 0
    except Failure as failure:
        print(f"FAIL: AT-SPI check: {failure}")
        code = NOT_ON_BUS if isinstance(failure, NotOnBus) else 1
        if "app" in FOUND:
            print("  the program's accessible tree:")
            print_tree(FOUND["app"])
        if program is not None and program.poll() is not None:
            print(f"  the program ended with {program.returncode}; its last output:")
            with open(os.path.join(root, "keycask.log"), errors="replace") as output:
                for line in output.readlines()[-15:]:
                    print("  " + line.rstrip())
        return code
    finally:
        for process in (program, xvfb):
            if process is not None and process.poll() is None:
                process.send_signal(signal.SIGTERM)
                try:
                    process.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    process.kill()
        shutil.rmtree(root, ignore_errors=True)


def main():
    args = sys.argv[1:]
    dump = "--dump" in args
    args = [a for a in args if a != "--dump"]
    if args and args[0] == "--inner":
        return inner(args[1], dump)
    if len(args) != 1:
        print("usage: atspi_tree.py BUILD_DIR [--dump]")
        return 2
    return outer(args[0], dump)


if __name__ == "__main__":
    sys.exit(main())
