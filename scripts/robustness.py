#!/usr/bin/env python3
"""Concurrent clients of one help desk, and the invariants the database must
keep under them. Used by scripts/soak.sh and scripts/crash-test.sh.

Web clients (web_client.py) drive `kirvs serve` as support engineers in a
browser would: each logs in once as a demo user and loops: registers a
request, saves it again, adds an activity and closes every other one. The
clients of `kirvs run` loop: register a request (SAVE REQUEST with number
0), save it again, add an activity, close every other one, and save another
client's request, which may have been closed meanwhile. Every value is tagged
"soak-<client>-<i>" ("soak-c<client>-<i>" on the web), so each reported
success can be found afterwards.

  robustness.py soak KIRVS DIR SECONDS CLIENTS       web clients
  robustness.py soak-run KIRVS DIR SECONDS CLIENTS   `kirvs run` clients
  robustness.py crash KIRVS DIR ROUNDS CLIENTS [WEB_CLIENTS]
      CLIENTS `kirvs run` writers and WEB_CLIENTS (8) web clients; the
      server and some writers killed with SIGKILL
  robustness.py crash-run KIRVS DIR ROUNDS CLIENTS   `kirvs run` only
"""

import html
import json
import os
import random
import re
import signal
import sqlite3
import subprocess
import sys
import threading
import time

import web_client as web_client_module

USER = "ann"
PERSON = "Ann Archer"
LOCATE = re.compile(r"^Unable to locate request: \d+ in outstanding requests table\.$")


def form(*fields):
    return {"form": [list(f) for f in fields]}


def query_sqlite(path, sql, args=()):
    connection = sqlite3.connect(f"file:{path}?mode=ro", uri=True, timeout=60)
    try:
        return connection.execute(sql, args).fetchall()
    finally:
        connection.close()


def postgres_literal(value):
    if isinstance(value, int):
        return str(value)
    return "'" + str(value).replace("'", "''") + "'"


def query_postgres(uri, sql, args=()):
    """The rows as sqlite3 gives them (tuples; integers as int, NULL as
    None), through `psql`: Python has no PostgreSQL driver here. The rows
    travel as JSON, so that no tab, newline or NULL in a value is lost; the
    `?` of `sql` take the `args` as literals."""
    pieces = sql.split("?")
    if len(pieces) != len(args) + 1:
        raise ValueError(f"{len(args)} arguments for {sql!r}")
    text = pieces[0] + "".join(postgres_literal(arg) + piece
                               for arg, piece in zip(args, pieces[1:]))
    answer = subprocess.run(
        ["psql", "-X", "-q", "-A", "-t", "-v", "ON_ERROR_STOP=1", uri, "-c",
         f"SELECT coalesce(json_agg(q), '[]') FROM ({text}) AS q"],
        capture_output=True, text=True, timeout=120)
    if answer.returncode != 0:
        raise RuntimeError(f"psql: {answer.stderr.strip()} in {text!r}")
    # A row is an object whose keys may repeat (unnamed columns): keep its
    # values in order.
    return json.loads(answer.stdout,
                      object_pairs_hook=lambda pairs: tuple(v for _, v in pairs))


class Desk:
    """The desk in DIR: its `kirvs run` and the queries of its database,
    SQLite or PostgreSQL as KIRVS.INI's DBPath says. The queries quote the
    mixed-case names, which PostgreSQL would fold and SQLite accepts."""

    def __init__(self, kirvs, directory):
        self.kirvs = kirvs
        self.ini = os.path.join(directory, "KIRVS.INI")
        self.db = os.path.join(directory, "helpdesk.db")
        database = settings_of(self.ini).get("dbpath", "")
        self.postgres = database if database.startswith(
            ("postgresql://", "postgres://")) else None
        self.killed_pids = []

    def run(self, calls, kill_after=None):
        """Runs the calls in one `kirvs run`; the results, or None when the
        process was killed (after `kill_after` seconds) or failed."""
        process = subprocess.Popen(
            [self.kirvs, "run", "--ini", self.ini], stdin=subprocess.PIPE,
            stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        data = json.dumps({"calls": calls}).encode()
        if kill_after is not None:
            timer = threading.Timer(kill_after, process.kill)  # SIGKILL
            timer.start()
        out, _ = process.communicate(data)
        if kill_after is not None:
            timer.cancel()
        if process.returncode == -9:
            self.killed_pids.append(process.pid)
        if process.returncode != 0:
            return None
        return json.loads(out)["results"]

    def query(self, sql, args=()):
        if self.postgres:
            return query_postgres(self.postgres, sql, args)
        return query_sqlite(self.db, sql, args)


class Log:
    """What the clients were told: each reported outcome, by kind."""

    def __init__(self):
        self.lock = threading.Lock()
        self.new = {}        # tag -> True
        self.edit = set()    # tags whose second save succeeded
        self.activity = {}   # tag -> request number
        self.closed = set()  # tags closed
        self.cross_ok = []   # (request number, contact)
        self.cross_failed = []  # (request number, contact, message)
        self.failures = []   # unexpected failures: text
        self.calls = 0
        self.killed = 0
        self.demo_closed = []  # demo requests reported closed
        self.errors = []  # clients stopped on an error of their own
        self.http_requests = 0  # HTTP requests the web clients sent
        self.switches = 0  # web clients moved to another node mid-session
        self.cut_off = 0  # web actions without an answer (server killed)


def client(desk, log, number, stop, kill_chance):
    try:
        client_loop(desk, log, number, stop, kill_chance)
    except Exception as error:  # a broken client is a failed run
        with log.lock:
            log.errors.append(f"client {number}: {error!r}")


def client_loop(desk, log, number, stop, kill_chance):
    i = 0
    rng = random.Random(number * 7919 + os.getpid())
    while not stop():
        i += 1
        tag = f"soak-{number}-{i}"

        def run(calls):
            kill_after = None
            if rng.random() < kill_chance:
                kill_after = rng.uniform(0.0, 0.08)
            results = desk.run(calls, kill_after)
            with log.lock:
                log.calls += len(calls)
                if results is None:
                    log.killed += 1
            return results

        results = run([{"command": "SAVE REQUEST", "params": [
            form(("requestno", "0"), ("Description", tag),
                 ("Personnel", PERSON), ("Priority", "Low"),
                 ("KIRVSCurrentUser", USER)), PERSON]}])
        if results is None:
            continue
        if not results[0]["result"]:
            with log.lock:
                log.failures.append(f"{tag} new: {results[0]['ErrorDescription'][:200]}")
            continue
        with log.lock:
            log.new[tag] = True
        rows = desk.query('SELECT "RequestNo" FROM "Current_Requests" '
                          'WHERE "Description"=?', (tag,))
        if len(rows) != 1:
            with log.lock:
                log.failures.append(f"{tag}: stored {len(rows)} times")
            continue
        request = str(rows[0][0])
        close = i % 2 == 0
        others = desk.query(
            'SELECT "RequestNo" FROM (SELECT "RequestNo" FROM '
            '"Current_Requests" WHERE "Description" LIKE \'soak-%\' UNION ALL '
            'SELECT "RequestNo" FROM "Completed_Requests" WHERE "Description" '
            'LIKE \'soak-%\') AS soaked ORDER BY random() LIMIT 1')
        other = str(others[0][0]) if others else request
        contact = f"x-{number}-{i}"
        calls = [
            {"command": "SAVE REQUEST", "params": [
                form(("requestno", request), ("Description", tag + "-e"),
                     ("KIRVSCurrentUser", USER)), PERSON]},
            {"command": "SAVE ACTIVITY", "params": [
                form(("requestno", request), ("actno", "1"),
                     ("Description", tag + "-a"), ("Duration", "1"),
                     ("KIRVSCurrentUser", USER)), request]},
            {"command": "SAVE ALLOCATION", "params": [
                form(("requestno", other), ("Contact", contact),
                     ("KIRVSCurrentUser", USER)), PERSON]},
        ]
        if close:
            calls.append({"command": "CLOSE NOW", "params": [
                form(("requestno", request), ("KIRVSCurrentUser", USER)),
                PERSON]})
        results = run(calls)
        if results is None:
            continue
        with log.lock:
            for call, result in zip(calls, results):
                ok = result["result"]
                message = result["ErrorDescription"]
                command = call["command"]
                if command == "SAVE ALLOCATION":
                    if ok:
                        log.cross_ok.append((other, contact))
                    else:
                        log.cross_failed.append((other, contact, message))
                elif not ok:
                    log.failures.append(f"{tag} {command}: {message[:200]}")
                elif command == "SAVE REQUEST":
                    log.edit.add(tag)
                elif command == "SAVE ACTIVITY":
                    log.activity[tag] = request
                elif command == "CLOSE NOW":
                    log.closed.add(tag)


def log_in(desk):
    """Makes the login entry that every save checks."""
    results = desk.run([{"command": "LOGIN", "params": [
        form(("txtUserId", USER), ("txtPassword", "ann123"))]}])
    if not results or not results[0]["result"]:
        sys.exit(f"cannot log in: {results}")


def outcomes(log):
    """The number of reported outcomes that the check looked at."""
    return (len(log.new) + len(log.edit) + len(log.activity) +
            len(log.closed) + len(log.cross_ok) + len(log.cross_failed))


def closer(desk, log, stop):
    """Closes the demo's own open requests in batches and kills most of the
    batches at a random moment: each close writes its trace into KIRVS.INI,
    so some of these writers die in the middle of replacing the file."""
    rng = random.Random(os.getpid())
    try:
        while not stop():
            numbers = [str(n) for (n,) in desk.query(
                'SELECT "RequestNo" FROM "Current_Requests" WHERE '
                '"Description" NOT LIKE \'soak-%\' AND "Description" NOT LIKE '
                '\'crash-%\' ORDER BY random() LIMIT 6')]
            if not numbers:
                return
            calls = [{"command": "CLOSE NOW", "params": [
                form(("requestno", n), ("KIRVSCurrentUser", USER)), PERSON]}
                for n in numbers]
            kill_after = rng.uniform(0.0, 0.2) if rng.random() < 0.8 else None
            results = desk.run(calls, kill_after)
            with log.lock:
                log.calls += len(calls)
                if results is None:
                    log.killed += 1
                    continue
                for number, result in zip(numbers, results):
                    if result["result"]:
                        log.demo_closed.append(number)
    except Exception as error:
        with log.lock:
            log.errors.append(f"closer: {error!r}")


def run_clients(desk, log, clients, seconds, kill_chance, first=1,
                with_closer=False):
    """Runs clients numbered first, first + 1, ... (their numbers tag their
    values, so they differ between rounds), and the closer of demo requests
    when asked."""
    deadline = time.monotonic() + seconds
    threads = [threading.Thread(
        target=client,
        args=(desk, log, n, lambda: time.monotonic() > deadline, kill_chance))
        for n in range(first, first + clients)]
    if with_closer:
        threads.append(threading.Thread(
            target=closer,
            args=(desk, log, lambda: time.monotonic() > deadline)))
    for t in threads:
        t.start()
    for t in threads:
        t.join()


class Server:
    """`kirvs serve` on a free port of 127.0.0.1; its access log goes to a
    file beside the desk."""

    def __init__(self, kirvs, directory, log_path):
        self.kirvs = kirvs
        self.directory = directory
        self.log_path = log_path
        self.process = None
        self.base = None
        # Whether web clients keep their connection open between requests
        # (SOAK_KEEP_ALIVE=1), as browsers do; each then holds a server
        # thread until the server ends the connection.
        self.keep_alive = os.environ.get("SOAK_KEEP_ALIVE") == "1"

    def start(self):
        with open(self.log_path, "ab") as access_log:
            self.process = subprocess.Popen(
                # Every client comes from 127.0.0.1, as from a proxy: the
                # limit of connections per address must leave them room.
                [self.kirvs, "serve", self.directory, "--host", "127.0.0.1",
                 "--port", "0", "--max-connections-per-address", "256"],
                stdout=subprocess.PIPE, stderr=access_log, text=True)
        # The first line names the address once the port is bound.
        line = self.process.stdout.readline()
        match = re.search(r"(http://127\.0\.0\.1:\d+)/", line)
        if not match:
            self.process.kill()
            self.process.wait()
            raise RuntimeError(f"kirvs serve did not start: {line!r}")
        self.base = match.group(1) + "/"
        # Drain the rest (the demo logins) so that the pipe never fills.
        threading.Thread(target=self.process.stdout.read, daemon=True).start()

    def kill(self):
        """SIGKILL, as a crash would."""
        if self.process and self.process.poll() is None:
            self.process.kill()
        if self.process:
            self.process.wait()

    def stop(self):
        if self.process and self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=30)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()


# The demo's users; several web clients may share one, each with a session
# of its own.
WEB_USERS = [("ann", "ann123"), ("bob", "bob123"), ("carol", "carol123"),
             ("dave", "dave123")]


class WebStep(Exception):
    """A page other than the one a step expected."""


def web_log_in(browser, user, password):
    """Logs in as `user` and returns his personnel name, as the top bar
    shows it."""
    # Logins of one user that arrive together take turns: the server
    # answers 429 to those that must wait, and a person tries again.
    for _ in range(20):
        browser.get("/")
        page = browser.click("Login",
                             {"txtUserId": user, "txtPassword": password})
        if page.status != 429:
            break
        time.sleep(1.0)
    if page.error() or page.status != 200:
        raise WebStep(f"login of {user}: {page.status} {page.error()}")
    match = re.search(r'class="kv-user">Signed in as (.*?) \(', page.body)
    if not match:
        raise WebStep(f"login of {user}: not signed in")
    return html.unescape(match.group(1))


def listed_request(page, description):
    """The number of the request whose description the list shows as
    `description`: the number button of the row above it."""
    at = page.body.find(">" + html.escape(description, quote=False) + "<")
    if at < 0:
        return None
    numbers = re.findall(r"name=KIRVSCommand value=(\d+) type=submit",
                         page.body[:at])
    return numbers[-1] if numbers else None


def web_client(servers, log, number, stop, session_lost):
    """A support engineer in a browser: registers, saves, adds an activity
    and closes every other request, until `stop()`. Client `number` starts
    on node number % len(servers) and, with more nodes than one, moves to
    another node before a quarter of its rounds. `session_lost()` tells
    whether a failed connection is expected (the server was killed)."""
    user, password = WEB_USERS[(number - 1) % len(WEB_USERS)]
    rng = random.Random(number * 104729 + os.getpid())
    node = servers[number % len(servers)]
    browser = web_client_module.Browser(node.base, keep_alive=node.keep_alive)
    try:
        person = web_log_in(browser, user, password)
        web_client_loop(browser, log, number, stop, rng, person, servers)
    except web_client_module.TransportError as error:
        with log.lock:
            if session_lost():
                log.cut_off += 1
            else:
                log.errors.append(f"web client {number}: {error}")
    except Exception as error:  # a broken client is a failed run
        with log.lock:
            log.errors.append(f"web client {number}: {error!r}")
    finally:
        browser.close()
        with log.lock:
            log.http_requests += browser.requests


def web_client_loop(browser, log, number, stop, rng, person, servers):
    i = 0
    while not stop():
        i += 1
        tag = f"soak-c{number}-{i}"
        if len(servers) > 1 and rng.random() < 0.25:
            # The next click posts the page one node served to another:
            # its session, CSRF token and form id must hold there.
            others = [s for s in servers if s.base != browser.base]
            browser.move_to(rng.choice(others).base)
            with log.lock:
                log.switches += 1
        try:
            web_round(browser, log, tag, rng, person, close=i % 2 == 0)
        except (WebStep, LookupError) as error:
            with log.lock:
                log.failures.append(f"{tag}: {error}")
            browser.get("/")  # back to the list, as a user would


def web_click(browser, caption, changes=None, what=""):
    page = browser.click(caption, changes)
    error = page.error()
    if error is not None or page.status != 200:
        raise WebStep(f"{what or caption}: {page.status} {error}")
    return page


def web_round(browser, log, tag, rng, person, close):
    page = browser.page
    if "Register New Request" not in page.buttons():
        page = web_click(browser, "Show List")
    page = web_click(browser, "Register New Request")
    priority = rng.choice(["1-Urgent", "2-High", "3-Normal", "4-Low"])
    page = web_click(browser, "Save Request", {
        "Description": tag, "Personnel": person, "Priority": priority,
        "Status": "In Progress"}, "register")
    with log.lock:
        log.new[tag] = True
    request = listed_request(page, tag)
    if request is None and "Show List" in page.buttons():
        # A front that shows the new request rather than the list.
        request = listed_request(web_click(browser, "Show List"), tag)
    if request is None:
        raise WebStep("registered, but not in the list")

    web_click(browser, request, what="show request")
    page = web_click(browser, "Save Request", {"Description": tag + "-e"},
                     "save request")
    with log.lock:
        log.edit.add(tag)

    if request not in page.buttons():
        page = web_click(browser, "Show List")
    web_click(browser, request, what="show request")
    web_click(browser, "Activities")
    web_click(browser, "Add Activity")
    web_click(browser, "Save Activity", {
        "Description": tag + "-a", "Duration": "1"})
    with log.lock:
        log.activity[tag] = request

    if not close:
        return
    web_click(browser, "Show Request")
    web_click(browser, "Close")
    web_click(browser, "Close Now", {"ResolutionCode": "FIXED",
                                     "Resolution": tag + "-r"})
    with log.lock:
        log.closed.add(tag)


def run_web_clients(servers, log, clients, seconds, first=1,
                    session_lost=lambda: False):
    deadline = time.monotonic() + seconds
    threads = [threading.Thread(
        target=web_client,
        args=(servers, log, n, lambda: time.monotonic() > deadline,
              session_lost))
        for n in range(first, first + clients)]
    for t in threads:
        t.start()
    return threads


def check(desk, log, exact):
    """The invariants; `exact` when no writer was killed, so that anything
    not reported as a success must not be stored either. Returns the
    violations."""
    bad = list(log.errors)
    rows = desk.query(
        'SELECT "RequestNo", "Description", "Contact", \'open\' FROM '
        '"Current_Requests" UNION ALL SELECT "RequestNo", "Description", '
        '"Contact", \'closed\' FROM "Completed_Requests"')
    seen = {}
    for number, _, _, _ in rows:
        seen[number] = seen.get(number, 0) + 1
    bad += [f"request {n} stored {c} times" for n, c in seen.items() if c > 1]
    by_description = {}
    for row in rows:
        by_description.setdefault(row[1], []).append(row)
    audits = desk.query('SELECT "RequestNo", "Event", "Description" '
                        'FROM "Request_AuditTrail"')
    audit_by_request = {}
    for number, event, text in audits:
        audit_by_request.setdefault(number, []).append((event, text or ""))

    soak_numbers = {}
    for tag in log.new:
        found = by_description.get(tag, []) + by_description.get(tag + "-e", [])
        if len(found) != 1:
            bad.append(f"{tag}: reported stored, found {len(found)} times")
            continue
        number, description, _, table = found[0]
        soak_numbers[number] = tag
        if tag in log.edit and description != tag + "-e":
            bad.append(f"{tag}: reported edit lost")
        want = "closed" if tag in log.closed else "open"
        if exact and table != want:
            bad.append(f"{tag}: {table}, expected {want}")
        if tag in log.closed and table != "closed":
            bad.append(f"{tag}: reported closed, still open")
        logged = [e for e in audit_by_request.get(number, []) if e[0] == "Logged"]
        if len(logged) != 1:
            bad.append(f"{tag}: {len(logged)} Logged entries")
        if tag in log.edit:
            entries = [e for e in audit_by_request.get(number, [])
                       if re.search(re.escape(tag + "-e") + r"(;|$)", e[1])]
            if len(entries) != 1:
                bad.append(f"{tag}: {len(entries)} audit entries for its save")
    for description, found in by_description.items():
        if not (description or "").startswith("soak-"):
            continue
        base = description[:-2] if description.endswith("-e") else description
        if base not in log.new and exact:
            bad.append(f"{description}: stored without a reported success")
        if not re.fullmatch(r"soak-c?\d+-\d+(-e)?", description):
            bad.append(f"{description}: a save registered a new request")

    closed = {str(n) for n, _, _, table in rows if table == "closed"}
    for number in log.demo_closed:
        if number not in closed:
            bad.append(f"request {number}: reported closed, not completed")
    stored = {n for n, _, _, _ in rows}
    activities = desk.query('SELECT "RequestNo", "Description" '
                            'FROM "Request_Activities"')
    for number, _ in activities:
        if number not in stored:
            bad.append(f"activity of request {number}, which exists nowhere")
    for tag, request in log.activity.items():
        found = [a for a in activities if a[1] == tag + "-a"]
        if len(found) != 1 or str(found[0][0]) != request:
            bad.append(f"{tag}: reported activity found {len(found)} times")

    contacts = {}
    for number, _, contact, _ in rows:
        if contact:
            contacts.setdefault(contact, []).append(number)
    for request, contact in log.cross_ok:
        entries = [e for e in audit_by_request.get(int(request), [])
                   if e[0] == "Allocated"]
        if not entries:
            bad.append(f"{contact}: saved on {request} without an audit entry")
        if any(str(n) != request for n in contacts.get(contact, [])):
            bad.append(f"{contact}: stored on another request than {request}")
    for request, contact, message in log.cross_failed:
        if not LOCATE.match(message):
            bad.append(f"{contact} on {request}: unexpected failure {message[:200]}")
        if contact in contacts:
            bad.append(f"{contact}: reported failed, stored on {contacts[contact]}")
    if exact:
        bad += log.failures
        for number, tag in soak_numbers.items():
            entries = audit_by_request.get(number, [])
            saves = 1 + (tag in log.edit) + sum(
                1 for r, _ in log.cross_ok if r == str(number))
            if len(entries) != saves:
                bad.append(f"{tag}: {len(entries)} audit entries for {saves} saves")
    if not desk.postgres:  # the file's own check; PostgreSQL has none such
        integrity = desk.query("PRAGMA integrity_check")
        if integrity != [("ok",)]:
            bad.append(f"integrity_check: {integrity}")
    return bad


def is_web(tag):
    return tag.startswith("soak-c")


def summary(log):
    """The outcomes of the `kirvs run` clients."""
    def runs(tags):
        return sum(1 for t in tags if not is_web(t))
    return (f"{runs(log.new)} registered, {runs(log.edit)} saved again, "
            f"{runs(log.activity)} activities, {runs(log.closed)} closed, "
            f"{len(log.cross_ok)} saves of others' requests "
            f"(+{len(log.cross_failed)} refused as closed), "
            f"{len(log.demo_closed)} demo requests closed, "
            f"{log.calls} calls, {log.killed} writers killed")


def settings_of(path):
    keys = {}
    section = None
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            line = line.strip()
            if line.startswith("[") and line.endswith("]"):
                section = line[1:-1].lower()
            elif "=" in line and section == "settings":
                key, value = line.split("=", 1)
                keys[key.strip().lower()] = value.strip()
    return keys


def report_soak(log, bad):
    """Prints the violations and the closing count of a soak; its exit code."""
    for b in bad[:50]:
        print("VIOLATION:", b)
    checked = outcomes(log)
    print(f"{max(checked - len(bad), 0)} passed, {len(bad)} failed "
          f"({checked} reported outcomes checked)")
    return 1 if bad or not log.new else 0


def soak_run(kirvs, directory, seconds, clients):
    desk = Desk(kirvs, directory)
    log = Log()
    log_in(desk)
    run_clients(desk, log, clients, seconds, kill_chance=0.0)
    bad = check(desk, log, exact=True)
    print(f"soak: {summary(log)} in {seconds}s with {clients} clients")
    return report_soak(log, bad)


def crash_run(kirvs, directory, rounds, clients):
    desk = Desk(kirvs, directory)
    before = settings_of(desk.ini)
    log_in(desk)
    failed = 0
    strays = 0  # temporary files that killed writers left
    planted = 0  # temporary files left in the name of killed writers
    total = Log()
    for r in range(1, rounds + 1):
        log = Log()
        run_clients(desk, log, clients, 2.0, kill_chance=0.35,
                    first=(r - 1) * clients + 1, with_closer=True)
        folder = os.path.dirname(desk.ini)
        strays += sum(1 for f in os.listdir(folder)
                      if f.startswith("KIRVS.INI.tmp."))
        # Killing a writer inside its few microseconds between creating its
        # temporary file and renaming it is rare here, so the round also
        # leaves what such a writer leaves: a half file named after the
        # killed process.
        if desk.killed_pids:
            pid = desk.killed_pids[-1]
            with open(f"{desk.ini}.tmp.{pid}.0", "w") as half:
                half.write("[Settings]\nDBPa")
            planted += 1
        # The next write of the settings file (a close writes its trace)
        # clears the temporary files of the writers that were killed.
        closer = desk.run([
            {"command": "SAVE REQUEST", "params": [form(
                ("requestno", "0"), ("Description", f"crash-close-{r}"),
                ("Personnel", PERSON), ("KIRVSCurrentUser", USER)), PERSON]}])
        number = desk.query('SELECT "RequestNo" FROM "Current_Requests" '
                            'WHERE "Description"=?', (f"crash-close-{r}",))
        if closer is None or not closer[0]["result"] or len(number) != 1:
            bad = ["the next writer after the round failed"]
        else:
            closed = desk.run([{"command": "CLOSE NOW", "params": [form(
                ("requestno", str(number[0][0])), ("KIRVSCurrentUser", USER)),
                PERSON]}])
            bad = [] if closed and closed[0]["result"] else [
                "the close after the round failed"]
        bad += check(desk, log, exact=False)
        after = settings_of(desk.ini)
        missing = [k for k in before if k not in after]
        if missing or after.get("dbpath") != before.get("dbpath"):
            bad.append(f"KIRVS.INI lost keys {missing}")
        stale = [f for f in os.listdir(folder) if f.startswith("KIRVS.INI.tmp.")]
        if stale:
            bad.append(f"stale temporary files after the next write: {stale}")
        print(f"round {r}: {summary(log)}; "
              + ("ok" if not bad else f"{len(bad)} violations"))
        for b in bad[:20]:
            print("  VIOLATION:", b)
        failed += 1 if bad else 0
        total.killed += log.killed
        total.calls += log.calls
    print(f"crash: {rounds} rounds, {total.killed} writers killed, "
          f"{total.calls} calls; at the rounds' ends {strays} temporary "
          f"files of killed writers (the others' writes remove them as they "
          f"go) and {planted} planted in their names")
    print(f"{rounds - failed} passed, {failed} failed")
    return 1 if failed else 0


def web_summary(log):
    """The outcomes of the web clients."""
    def webs(tags):
        return sum(1 for t in tags if is_web(t))
    return (f"{webs(log.new)} registered, {webs(log.edit)} saved again, "
            f"{webs(log.activity)} activities, {webs(log.closed)} closed, "
            f"{sum(1 for f in log.failures if is_web(f))} error pages, "
            f"{log.http_requests} HTTP requests"
            + (f", {log.switches} moves between nodes" if log.switches else ""))


def soak_web(kirvs, directory, seconds, clients):
    """SOAK_NODES (1) `kirvs serve` processes serve the one desk; the
    clients are spread over them."""
    desk = Desk(kirvs, directory)
    log = Log()
    nodes = int(os.environ.get("SOAK_NODES", "1"))
    servers = [Server(kirvs, directory,
                      os.path.join(directory, f"serve-{n}.log"))
               for n in range(1, nodes + 1)]
    try:
        for server in servers:
            server.start()
        for t in run_web_clients(servers, log, clients, seconds):
            t.join()
    finally:
        for server in servers:
            server.stop()
    bad = check(desk, log, exact=True)
    store = "PostgreSQL" if desk.postgres else "SQLite"
    print(f"soak (web): {web_summary(log)} in {seconds}s with {clients} "
          f"clients on {nodes} node{'s' if nodes > 1 else ''} ({store})")
    return report_soak(log, bad)


def next_write_on_the_web(server, r):
    """After a restart: a user logs in, registers a request and closes it
    (a close writes its trace into KIRVS.INI). Returns the violations."""
    browser = web_client_module.Browser(server.base)
    tag = f"crash-close-{r}"
    try:
        person = web_log_in(browser, *WEB_USERS[r % len(WEB_USERS)])
        web_click(browser, "Register New Request")
        page = web_click(browser, "Save Request",
                         {"Description": tag, "Personnel": person,
                          "Priority": "3-Normal", "Status": "In Progress"})
        request = listed_request(page, tag)
        if request is None:
            return [f"{tag}: registered, but not in the list"]
        web_click(browser, request)
        web_click(browser, "Close")
        web_click(browser, "Close Now", {"ResolutionCode": "FIXED",
                                         "Resolution": tag + "-r"})
    except (WebStep, LookupError,
            web_client_module.TransportError) as error:
        return [f"the next write after the restart failed: {error}"]
    return []


def crash(kirvs, directory, rounds, clients, web_clients):
    """Each round: web clients and `kirvs run` writers (a third of them
    killed) load the desk; the server is killed with SIGKILL at a random
    moment and restarted; a web user's close writes the settings file."""
    desk = Desk(kirvs, directory)
    before = settings_of(desk.ini)
    server = Server(kirvs, directory, os.path.join(directory, "serve.log"))
    folder = os.path.dirname(desk.ini)
    failed = 0
    planted = 0
    total = Log()
    rng = random.Random(os.getpid())
    server.start()
    try:
        for r in range(1, rounds + 1):
            log_in(desk)  # the `kirvs run` writers' login entry
            log = Log()
            killed = threading.Event()
            seconds = 3.0
            web = run_web_clients([server], log, web_clients, seconds,
                                  first=(r - 1) * web_clients + 1,
                                  session_lost=killed.is_set)
            victim = server.process.pid

            def kill_server(after=rng.uniform(0.5, seconds - 0.3)):
                time.sleep(after)
                killed.set()
                server.kill()
            killer = threading.Thread(target=kill_server)
            killer.start()
            run_clients(desk, log, clients, seconds, kill_chance=0.35,
                        first=100000 + (r - 1) * clients + 1,
                        with_closer=True)
            killer.join()
            for t in web:
                t.join()
            # What a writer killed between creating its temporary file and
            # renaming it leaves: a half file in its name.
            with open(f"{desk.ini}.tmp.{victim}.0", "w") as half:
                half.write("[Settings]\nDBPa")
            planted += 1
            server.start()
            bad = next_write_on_the_web(server, r)
            bad += check(desk, log, exact=False)
            after = settings_of(desk.ini)
            missing = [k for k in before if k not in after]
            if missing or after.get("dbpath") != before.get("dbpath"):
                bad.append(f"KIRVS.INI lost keys {missing}")
            stale = [f for f in os.listdir(folder)
                     if f.startswith("KIRVS.INI.tmp.")]
            if stale:
                bad.append(f"stale temporary files after the next write: "
                           f"{stale}")
            print(f"round {r}: web: {web_summary(log)}, {log.cut_off} cut "
                  f"off by the kill; run: {summary(log)}; "
                  + ("ok" if not bad else f"{len(bad)} violations"))
            for b in bad[:20]:
                print("  VIOLATION:", b)
            for f in log.failures[:5]:
                print("  reported failure:", f)
            failed += 1 if bad else 0
            total.killed += log.killed
            total.calls += log.calls
            total.http_requests += log.http_requests
    finally:
        server.stop()
    print(f"crash: {rounds} rounds, {rounds} servers and {total.killed} "
          f"`kirvs run` writers killed, {total.http_requests} HTTP requests, "
          f"{total.calls} run calls, {planted} half temporary files planted "
          f"in the killed servers' names")
    print(f"{rounds - failed} passed, {failed} failed")
    return 1 if failed else 0


MODES = {"soak": soak_web, "soak-run": soak_run, "crash-run": crash_run}


def stop_on_sigterm():
    """`timeout` ends the check with SIGTERM: unwind, so that the server is
    stopped on the way out."""
    def handler(signum, frame):
        raise SystemExit(f"stopped by signal {signum}")
    signal.signal(signal.SIGTERM, handler)


def main(argv):
    stop_on_sigterm()
    if len(argv) not in (6, 7) or argv[1] not in list(MODES) + ["crash"]:
        print(__doc__, file=sys.stderr)
        return 2
    mode, kirvs, directory, amount, clients = argv[1:6]
    if mode == "crash":
        web_clients = int(argv[6]) if len(argv) == 7 else 8
        return crash(kirvs, directory, int(amount), int(clients), web_clients)
    if mode == "soak" or mode == "soak-run":
        return MODES[mode](kirvs, directory, float(amount), int(clients))
    return MODES[mode](kirvs, directory, int(amount), int(clients))


if __name__ == "__main__":
    sys.exit(main(sys.argv))
