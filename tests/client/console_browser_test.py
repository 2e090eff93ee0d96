#!/usr/bin/env python3
"""The operator's console in a real browser: headless Chromium driven by
Selenium through chromedriver.

1. Against a stand-in screen (console_fixture) holding a dialog shaped like
   the link configuration dialog and an error box: the dialog is drawn at
   its size with its controls where the screen puts them, the password box
   never shows the password, the list drops down from the server, the test
   link's box is answered, and OK closes the dialog with what was typed.
2. Against a real server: the tray and the main window, the log showing a
   fetch's SELECT, the close question answered No from the page while a
   client holds an object, a narrow window, and the server closed from the
   tray menu on the page.
3. Against a real server on the test cluster (RVZ_TEST_PG; skipped without
   it): a client's ConnectAct of a SQL Server account set waits while the
   page answers the link question Yes, fills the real link dialog, drops
   its database list down from the server, tests the link and confirms.

Any message the page writes to the browser's console fails the test.
Screenshots of each state go to --shots. Exit 77 (skipped) where Chromium,
chromedriver or Selenium is missing."""

import argparse
import json
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

CHROMIUM = shutil.which("chromium")
DRIVER = shutil.which("chromedriver")
try:
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By
    from selenium.common.exceptions import NoSuchElementException, StaleElementReferenceException
    from selenium.webdriver.common.action_chains import ActionChains
    from selenium.webdriver.common.keys import Keys
    from selenium.webdriver.support.ui import WebDriverWait
except ImportError:
    webdriver = None

WAIT = 20  # seconds any one expected state may take to appear


def fail(msg):
    print("FAIL: " + msg, file=sys.stderr)
    sys.exit(1)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Console:
    """quib console on a free port, for the screen at `socket_path`."""

    def __init__(self, quib, socket_path, env):
        self.proc = subprocess.Popen([quib, "console", "--listen", "127.0.0.1:0", "--socket", socket_path],
                                     stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, env=env)
        line = self.proc.stdout.readline()
        m = re.search(r"(http://\S+)", line)
        if not m:
            fail("quib console printed no address: %r %s" % (line, self.proc.stderr.read()))
        self.url = m.group(1)

    def stop(self):
        self.proc.send_signal(signal.SIGTERM)
        try:
            code = self.proc.wait(WAIT)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            fail("quib console did not end on SIGTERM")
        if code != 0:
            fail("quib console ended with %d: %s" % (code, self.proc.stderr.read()))


def browser(width, height):
    opts = webdriver.ChromeOptions()
    opts.binary_location = CHROMIUM
    for a in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
              "--window-size=%d,%d" % (width, height), "--lang=zh-CN"):
        opts.add_argument(a)
    opts.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    d = webdriver.Chrome(service=Service(DRIVER), options=opts)
    d.set_page_load_timeout(WAIT)
    return d


def check_console(d, where):
    entries = d.get_log("browser")
    for e in entries:
        print("browser console (%s): %s %s" % (where, e.get("level"), e.get("message")))
    bad = [e for e in entries if e.get("level") in ("SEVERE", "WARNING")]
    if bad:
        fail("the page wrote errors or warnings to the browser console (%s): %s"
             % (where, json.dumps(bad, ensure_ascii=False)))


def wait(d, what, cond):
    try:
        # The page redraws on every change: an element read a moment ago
        # may be gone, and the condition is asked again.
        return WebDriverWait(d, WAIT, poll_frequency=0.1, ignored_exceptions=(
            StaleElementReferenceException, NoSuchElementException, AttributeError)).until(lambda _: cond())
    except Exception:
        shot = os.path.join(tempfile.gettempdir(), "console-failure.png")
        d.save_screenshot(shot)
        fail("%s did not happen within %d s (screenshot %s); page text:\n%s"
             % (what, WAIT, shot, d.find_element(By.TAG_NAME, "body").text))


def find(d, css):
    found = d.find_elements(By.CSS_SELECTOR, css)
    return found[0] if found else None


def box_with(d, caption):
    for b in d.find_elements(By.CSS_SELECTOR, "#boxes .frame.box"):
        if b.get_attribute("aria-label") == caption:
            return b
    return None


def click(d, locate):
    """Clicks what `locate` finds; the page redraws on every change of the
    screen, so an element found a moment ago may have been replaced."""
    for _ in range(50):
        try:
            locate().click()
            return
        except (StaleElementReferenceException, NoSuchElementException, AttributeError):
            time.sleep(0.1)
    fail("could not click the element")


def type_into(d, locate, text):
    """Replaces a field's text as a person does: click, select all, type,
    Tab. The keys go to the focused field, which the page keeps focused
    (with what was typed so far) across its redraws."""
    click(d, locate)
    ActionChains(d).key_down(Keys.CONTROL).send_keys("a").key_up(Keys.CONTROL).send_keys(text).send_keys(Keys.TAB).perform()


def shot(d, args, name):
    os.makedirs(args.shots, exist_ok=True)
    d.save_screenshot(os.path.join(args.shots, name + ".png"))


def rect(el):
    r = el.rect
    return (round(r["x"]), round(r["y"]), round(r["width"]), round(r["height"]))


def dialog_flow(args, work):
    home = os.path.join(work, "fixture")
    os.makedirs(home)
    result = os.path.join(work, "dialog-result.txt")
    fixture = subprocess.Popen([args.fixture, home, result], stdout=subprocess.PIPE, text=True)
    if fixture.stdout.readline().strip() != "ready":
        fail("the stand-in screen did not start")
    console = Console(args.quib, os.path.join(home, ".screen.sock"), os.environ.copy())
    d = browser(1280, 800)
    try:
        d.get(console.url)
        wait(d, "the dialog", lambda: find(d, '[data-window="dlgLinkConfig"]'))
        wait(d, "the error box", lambda: box_with(d, "Qorvane进销存服务器"))
        err = box_with(d, "Qorvane进销存服务器")
        if "Login failed for user sa." not in err.text:
            fail("the error box shows %r" % err.text)
        if not find(d, '[data-box] .glyph.error'):
            fail("the error box has no error icon")

        # Drawn as the screen holds it: 333 x 222, controls at their places.
        dlg = find(d, '[data-window="dlgLinkConfig"]')
        client = dlg.find_element(By.CSS_SELECTOR, ".client")
        cx, cy, cw, ch = rect(client)
        if (cw, ch) != (333, 222):
            fail("the dialog's client area is %dx%d, not 333x222" % (cw, ch))
        for name, want in {"edServer": (159, 28, 141, 20), "edPWD": (159, 90, 141, 20),
                           "btnOK": (75, 183, 88, 29), "btnCancel": (183, 183, 88, 29)}.items():
            x, y, w, h = rect(dlg.find_element(By.CSS_SELECTOR, '[data-control="%s"]' % name))
            if (x - cx, y - cy, w, h) != want:
                fail("%s is at %s, not %s" % (name, (x - cx, y - cy, w, h), want))
        if dlg.find_element(By.CSS_SELECTOR, '[data-control="chbTrust"]').is_displayed():
            fail("the hidden check box is shown")
        if dlg.find_element(By.CSS_SELECTOR, '[data-control="btnOK"]').text != "确定(O)":
            fail("the OK button reads %r" % dlg.find_element(By.CSS_SELECTOR, '[data-control="btnOK"]').text)
        shot(d, args, "1-dialog-and-error-box")

        # The error box first: the dialog's thread is another, so both take input.
        click(d, lambda: box_with(d, "Qorvane进销存服务器").find_element(By.XPATH, ".//button[text()='OK']"))
        wait(d, "the error box to close", lambda: box_with(d, "Qorvane进销存服务器") is None)

        def field(name):
            return find(d, '[data-window="dlgLinkConfig"] [data-key="dlgLinkConfig/%s"]' % name)

        type_into(d, lambda: field("edServer"), "srv01")
        wait(d, "the password box to be a password field", lambda: field("edPWD").get_attribute("type") == "password")
        type_into(d, lambda: field("edPWD"), "秘密pw1")
        wait(d, "the password to reach the dialog", lambda: field("edPWD").get_attribute("value") == "*****")
        if "秘密pw1" in d.page_source:
            fail("the page holds the password in plain text")
        click(d, lambda: find(d, '[data-key="dlgLinkConfig/edDBName/drop"]'))
        wait(d, "the database list", lambda: find(d, '[data-key="dlgLinkConfig/edDBName/Ravelmoor"]'))
        shot(d, args, "2-dialog-list-dropped-down")
        click(d, lambda: find(d, '[data-key="dlgLinkConfig/edDBName/Ravelmoor"]'))
        wait(d, "the chosen database", lambda: field("edDBName").get_attribute("value") == "Ravelmoor")
        click(d, lambda: find(d, '[data-window="dlgLinkConfig"] [data-control="Label1"]'))
        wait(d, "the test link's box", lambda: box_with(d, "提示"))
        wait(d, "the test link to say it connected", lambda: "数据库连接成功！" in box_with(d, "提示").text)
        wait(d, "the dialog to be shown behind its box",
             lambda: "behind" in find(d, '[data-window="dlgLinkConfig"]').get_attribute("class"))
        shot(d, args, "3-dialog-test-link")
        click(d, lambda: box_with(d, "提示").find_element(By.XPATH, ".//button[text()='OK']"))
        wait(d, "the test link's box to close", lambda: box_with(d, "提示") is None)
        click(d, lambda: find(d, '[data-window="dlgLinkConfig"] [data-control="btnOK"]'))
        wait(d, "the dialog to close", lambda: find(d, '[data-window="dlgLinkConfig"]') is None)
        wait(d, "the dialog's result", lambda: os.path.exists(result) and open(result, encoding="utf-8").read().count("\n") == 5)
        got = open(result, encoding="utf-8").read().split("\n")[:5]
        if got != ["OK", "srv01", "sa", "秘密pw1", "Ravelmoor"]:
            fail("the dialog closed with %r" % got)
        shot(d, args, "4-no-box-open")
        check_console(d, "dialog")
    finally:
        d.quit()
        console.stop()
        fixture.send_signal(signal.SIGTERM)
        fixture.wait(WAIT)


def run_quib(args, env, script, wait_for=True):
    p = subprocess.Popen([args.quib, "run", "-"], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                         stderr=subprocess.PIPE, text=True, env=env)
    p.stdin.write(script)
    p.stdin.close()
    if wait_for:
        out = p.stdout.read()
        p.wait(60)
        return out
    return p


def start_server(args, env, home, log):
    """Starts the server of `home` and, once its screen socket is there, a console on it."""
    server = subprocess.Popen([args.server], env=env, stderr=open(log, "w"))
    sock = os.path.join(home, ".screen.sock")
    deadline = time.time() + WAIT
    while not os.path.exists(sock) and time.time() < deadline:
        time.sleep(0.1)
    return server, Console(args.quib, sock, env)


def server_flow(args, work):
    home = os.path.join(work, "home")
    env = os.environ.copy()
    env.update({"RVZ_HOME": home, "RVZ_ENDPOINT": "127.0.0.1:%d" % free_port(),
                "RVZ_REGISTRY": os.path.join(home, "registry.hive"), "RVZ_DRIVE_D": os.path.join(work, "d"),
                "RVZ_SCREEN_TIMEOUT": ""})
    env.pop("RVZ_TOKEN", None)
    subprocess.run([args.quib, "init", home], check=True, env=env, timeout=120)
    server, console = start_server(args, env, home, os.path.join(work, "server.log"))
    d = browser(1280, 800)
    holder = None
    try:
        d.get(console.url)
        wait(d, "the tray", lambda: find(d, "#tray .hint") and find(d, "#tray .hint").text == "Qorvane服务器")
        wait(d, "the main window", lambda: find(d, '[data-window="frmMains"]'))
        for text in ("置顶", "删除", "其他消息"):
            if text not in find(d, '[data-window="frmMains"]').text:
                fail("the main window does not show %s" % text)

        out = run_quib(args, env, json.dumps([
            {"create": "Quib.datas", "as": "d"},
            {"call": "d", "method": "ConnectAct", "args": [0, "", "Sample", "", ""]},
            {"call": "d", "method": "AS_GetRecords", "args": ["pKh", -1, None, 0, "", None, None]}]))
        if out.count('"ok":true') < 3:
            fail("the fetch failed: " + out)
        memo = '[data-key="frmMains/Memo1"]'
        wait(d, "the fetch's SELECT in the log", lambda: "select" in (find(d, memo).get_attribute("value") or "").lower())
        log = find(d, memo).get_attribute("value")
        screen_log = subprocess.run([args.quib, "screen", "log"], env=env, capture_output=True, text=True).stdout
        if log != screen_log.replace("\r\n", "\n"):
            fail("the page's log differs from the screen's:\n%r\n%r" % (log, screen_log))
        shot(d, args, "5-server-log-after-a-fetch")

        # "其他消息" shows the second pane; the log makes room for it.
        memo_h = rect(find(d, memo))[3]
        click(d, lambda: find(d, '[data-window="frmMains"] [data-control="SpeedButton2"]'))
        wait(d, "the second pane", lambda: find(d, '[data-window="frmMains"] [data-control="Panel2"]').is_displayed())
        if rect(find(d, memo))[3] != memo_h - 97:
            fail("the log did not make room for the second pane")

        # A client holds an object: closing asks first, and No keeps serving.
        holder = run_quib(args, env, json.dumps([{"create": "Quib.datas", "as": "h"}, {"sleep": 120}]), wait_for=False)
        holder.stdout.readline()
        click(d, lambda: find(d, '#tray [data-key="tray/menuClose"]'))
        wait(d, "the close question", lambda: box_with(d, "COM Server Warning"))
        q = box_with(d, "COM Server Warning")
        if "Are you sure you want to close this application?" not in q.text:
            fail("the question reads %r" % q.text)
        if q.find_element(By.CSS_SELECTOR, "button.default").text != "No":
            fail("No is not the default")
        shot(d, args, "6-server-close-question")
        click(d, lambda: box_with(d, "COM Server Warning").find_element(By.XPATH, ".//button[text()='No']"))
        wait(d, "the question to close", lambda: box_with(d, "COM Server Warning") is None)
        if server.poll() is not None:
            fail("the server ended after No")

        d.set_window_size(400, 800)
        wait(d, "the narrow layout", lambda: d.execute_script("return document.documentElement.clientWidth") <= 400)
        shot(d, args, "7-narrow-window")
        check_console(d, "server")

        holder.kill()
        holder.wait(WAIT)
        holder = None
        d.set_window_size(1280, 800)
        click(d, lambda: find(d, '#tray [data-key="tray/menuClose"]'))
        try:
            code = server.wait(WAIT)
        except subprocess.TimeoutExpired:
            fail("the server did not end when closed from the page")
        if code != 0:
            fail("the server ended with %d" % code)
        wait(d, "the page to see the server gone", lambda: "not reachable" in find(d, "#status").text)
        shot(d, args, "8-server-closed")
        check_console(d, "after the server closed")
    finally:
        d.quit()
        console.stop()
        if holder:
            holder.kill()
        if server.poll() is None:
            server.kill()


def pg_cluster():
    """Host, port and owner of the test cluster that RVZ_TEST_PG names, or None."""
    cs = os.environ.get("RVZ_TEST_PG", "")
    values = dict(p.split("=", 1) for p in cs.split(";") if "=" in p)
    source = values.get("Data Source", "")
    if not source:
        return None
    host, _, port = source.partition(",")
    return host, port or "5432", values.get("User ID", "")


def psql(cluster, sql):
    host, port, user = cluster
    subprocess.run(["psql", "-h", host, "-p", port, "-U", user, "-d", "postgres", "-qAt", "-v", "ON_ERROR_STOP=1",
                    "-c", sql], check=True, capture_output=True, timeout=60)


def link_flow(args, work):
    cluster = pg_cluster()
    if not cluster or not shutil.which("psql"):
        print("link dialog flow skipped: no test cluster (RVZ_TEST_PG) or no psql")
        return
    tag = str(os.getpid())
    db, login, password = "rvz_console_" + tag, "rvz_console_u" + tag, "Secret-1"
    group = os.environ.get("RVZ_TEST_PG_PASSWORD_GROUP", "")
    psql(cluster, "CREATE ROLE %s LOGIN PASSWORD '%s'%s" % (login, password, " IN ROLE " + group if group else ""))
    psql(cluster, "CREATE DATABASE %s OWNER %s" % (db, login))
    home = os.path.join(work, "link-home")
    os.makedirs(os.path.join(home, "data"))
    # A login that is not there: the link fails and the operator is asked.
    with open(os.path.join(home, "RoVezevu.ini"), "w", newline="") as f:
        f.write("[Connection]\r\nServerName=.\r\nDatabaseName=%s\r\nUserId=nobody_here\r\n" % db)
    env = os.environ.copy()
    env.update({"RVZ_HOME": home, "RVZ_ENDPOINT": "127.0.0.1:%d" % free_port(),
                "RVZ_REGISTRY": os.path.join(home, "registry.hive"), "RVZ_SCREEN_TIMEOUT": "",
                "PGHOST": cluster[0], "PGPORT": cluster[1]})
    env.pop("RVZ_TOKEN", None)
    server, console = start_server(args, env, home, os.path.join(work, "link-server.log"))
    d = browser(1280, 800)
    client = None
    try:
        d.get(console.url)
        wait(d, "the tray", lambda: find(d, "#tray .hint"))
        client = run_quib(args, env, json.dumps([
            {"create": "Quib.datas", "as": "d"},
            {"call": "d", "method": "ConnectAct", "args": [1, "", "", "", ""]}]), wait_for=False)
        wait(d, "the link question", lambda: box_with(d, "询问"))
        q = box_with(d, "询问")
        if "无法连接到数据库服务器, 是否进行数据连接配置?" not in q.text:
            fail("the question reads %r" % q.text)
        if q.find_element(By.CSS_SELECTOR, "button.default").text != "No":
            fail("No is not the question's default")
        if not find(d, '[data-box] .glyph.question'):
            fail("the question has no question icon")
        shot(d, args, "9-link-question-while-a-client-waits")
        click(d, lambda: box_with(d, "询问").find_element(By.XPATH, ".//button[text()='Yes']"))

        wait(d, "the link dialog", lambda: find(d, '[data-window="dlgLinkConfig"]'))
        dlg = find(d, '[data-window="dlgLinkConfig"]')
        cx, cy, cw, ch = rect(dlg.find_element(By.CSS_SELECTOR, ".client"))
        if (cw, ch) != (333, 222):
            fail("the link dialog's client area is %dx%d, not 333x222" % (cw, ch))
        for name, want in {"edServer": (159, 28, 141, 20), "edUID": (159, 58, 141, 20), "edPWD": (159, 90, 141, 20),
                           "btnOK": (75, 183, 88, 29), "btnCancel": (183, 183, 88, 29)}.items():
            x, y, w, h = rect(dlg.find_element(By.CSS_SELECTOR, '[data-control="%s"]' % name))
            if (x - cx, y - cy, w, h) != want:
                fail("%s of the link dialog is at %s, not %s" % (name, (x - cx, y - cy, w, h), want))

        def field(name):
            return find(d, '[data-window="dlgLinkConfig"] [data-key="dlgLinkConfig/%s"]' % name)

        wait(d, "the dialog to start with server . and user nobody_here",
             lambda: field("edServer").get_attribute("value") == "."
             and field("edUID").get_attribute("value") == "nobody_here")
        wait(d, "the password box to be a password field", lambda: field("edPWD").get_attribute("type") == "password")
        type_into(d, lambda: field("edUID"), login)
        type_into(d, lambda: field("edPWD"), password)
        wait(d, "the password to reach the dialog", lambda: field("edPWD").get_attribute("value") == "*" * len(password))
        click(d, lambda: find(d, '[data-key="dlgLinkConfig/edDBName/drop"]'))
        item = '[data-key="dlgLinkConfig/edDBName/%s"]' % db
        wait(d, "the server's database list", lambda: find(d, item))
        if password in d.page_source:
            fail("the page holds the password in plain text")
        shot(d, args, "10-link-dialog-list-from-the-server")

        def listed():
            # The cluster may hold many databases: the item is scrolled to in the list.
            el = find(d, item)
            d.execute_script("arguments[0].scrollIntoView({block: 'nearest'});", el)
            return el

        click(d, listed)
        wait(d, "the chosen database", lambda: field("edDBName").get_attribute("value") == db)
        click(d, lambda: find(d, '[data-window="dlgLinkConfig"] [data-control="Label1"]'))
        wait(d, "the test link's box", lambda: box_with(d, "提示"))
        wait(d, "the test link to say it connected", lambda: "数据库连接成功！" in box_with(d, "提示").text)
        shot(d, args, "11-link-dialog-tested")
        click(d, lambda: box_with(d, "提示").find_element(By.XPATH, ".//button[text()='OK']"))
        wait(d, "the test link's box to close", lambda: box_with(d, "提示") is None)
        click(d, lambda: find(d, '[data-window="dlgLinkConfig"] [data-control="btnOK"]'))
        wait(d, "the notice", lambda: box_with(d, "信息"))
        wait(d, "the notice to say the link is configured",
             lambda: "连接配置完成, 如果没有出现登录对话框, 请重新启动本系统!" in box_with(d, "信息").text)
        if find(d, '[data-window="dlgLinkConfig"]') is not None:
            fail("the dialog is still open with the notice")
        shot(d, args, "12-link-configured-notice")
        click(d, lambda: box_with(d, "信息").find_element(By.XPATH, ".//button[text()='OK']"))
        out = client.stdout.read()
        client.wait(WAIT)
        client = None
        if '"result":0' not in out:
            fail("ConnectAct did not answer 0 after the link was configured: " + out)
        ini = open(os.path.join(home, "RoVezevu.ini"), encoding="gbk", errors="replace").read()
        if "UserId=" + login not in ini or password in ini:
            fail("RoVezevu.ini does not hold the configured link, scrambled: %r" % ini)
        check_console(d, "link dialog")
    finally:
        d.quit()
        console.stop()
        if client:
            client.kill()
        if server.poll() is None:
            server.kill()
        server.wait(WAIT)
        if password in open(os.path.join(work, "link-server.log"), encoding="utf-8", errors="replace").read():
            fail("the server's log holds the password")
        psql(cluster, "DROP DATABASE IF EXISTS %s WITH (FORCE)" % db)
        psql(cluster, "DROP ROLE IF EXISTS %s" % login)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--quib", required=True)
    ap.add_argument("--server", required=True)
    ap.add_argument("--fixture", required=True)
    ap.add_argument("--shots", required=True)
    args = ap.parse_args()
    if not (CHROMIUM and DRIVER and webdriver):
        print("skipped: chromium, chromedriver or python3-selenium is not installed")
        return 77
    work = tempfile.mkdtemp(prefix="rvz_console_browser_")
    try:
        dialog_flow(args, work)
        server_flow(args, work)
        link_flow(args, work)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print("console browser test passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
