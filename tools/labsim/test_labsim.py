"""Tests of the lab substitute: run the real program, talk to it over loopback HTTP and FTP."""

import ftplib
import hashlib
import io
import json
import os
import re
import signal
import socket
import subprocess
import tempfile
import threading
import time
import unittest
import urllib.error
import urllib.parse
import urllib.request
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
LABSIM = os.path.join(HERE, "labsim")

ORDER = ("ntorder", "47kdw9R5")
FTP2 = ("halvix_mac", "qxz20190311")
TEST = ("mivel", "plumtreehawk")
ANALYZER = "/cgi-bin/WebObjects/HalvixAnalyzer.woa/wa/MacApp"
AUTH = "/cgi-bin/WebObjects/MVLAuth.woa/wa/"


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def process_alive(pid):
    """False once the process has ended (an unreaped zombie counts as ended)."""
    try:
        with open("/proc/%d/stat" % pid) as f:
            return f.read().rsplit(")", 1)[1].split()[0] != "Z"
    except (FileNotFoundError, ProcessLookupError):
        return False


def marker(text, name):
    start = text.find("<!--%s\n" % name)
    end = text.find("\n%s-->" % name)
    if start < 0 or end < start:
        return ""
    return text[start + len(name) + 5:end]


class Labsim:
    """One running substitute in a temporary root."""

    def __init__(self, *extra):
        self.tmp = tempfile.TemporaryDirectory()
        self.root = self.tmp.name
        self.proc = subprocess.Popen([LABSIM, "--root", self.root, *extra],
                                     stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        # The program prints its ports once both servers listen.
        line = self.proc.stdout.readline()
        m = re.match(r"labsim: http=(\d+) ftp=(\d+)", line)
        if not m:
            self.proc.kill()
            self.proc.wait()
            raise RuntimeError("labsim did not start: %r %s" % (line, self.proc.stdout.read()))
        self.http_port, self.ftp_port = int(m.group(1)), int(m.group(2))
        self.base = "http://127.0.0.1:%d" % self.http_port

    def stop(self, sig=signal.SIGTERM):
        if self.proc.poll() is None:
            self.proc.send_signal(sig)
        rest = self.proc.communicate(timeout=30)[0]
        return self.proc.returncode, rest

    def close(self):
        if self.proc.poll() is None:
            self.stop()
        self.proc.stdout.close()
        self.tmp.cleanup()

    def path(self, *parts):
        return os.path.join(self.root, *parts)

    def get(self, path, timeout=10):
        try:
            with urllib.request.urlopen(self.base + path, timeout=timeout) as r:
                return r.status, r.read()
        except urllib.error.HTTPError as err:
            return err.code, err.read()

    def post(self, path, body, timeout=10):
        req = urllib.request.Request(self.base + path, data=body, method="POST")
        try:
            with urllib.request.urlopen(req, timeout=timeout) as r:
                return r.status, r.read()
        except urllib.error.HTTPError as err:
            return err.code, err.read()

    def faults(self, faults):
        with open(self.path("faults.json"), "w", encoding="utf-8") as f:
            json.dump(faults, f)

    def ftp(self, account=ORDER):
        f = ftplib.FTP()
        try:
            f.connect("127.0.0.1", self.ftp_port, timeout=10)
            f.login(*account)
        except BaseException:
            f.close()
            raise
        return f

    def reports(self):
        try:
            with open(self.path("reports.jsonl"), encoding="utf-8") as f:
                return [json.loads(line) for line in f if line.strip()]
        except FileNotFoundError:
            return []


def upload(ftp, name, data):
    ftp.storbinary("STOR " + name, io.BytesIO(data))


def nlst(ftp, folder):
    lines = []
    ftp.retrlines("NLST " + folder, lines.append)
    return lines


class LabsimCase(unittest.TestCase):
    def setUp(self):
        self.lab = Labsim()
        self.addCleanup(self.lab.close)


class StartStopTest(unittest.TestCase):
    def test_ports_lab_conf_and_clean_stop_on_sigterm_and_sigint(self):
        for sig in (signal.SIGTERM, signal.SIGINT):
            lab = Labsim()
            try:
                with open(lab.path("ports")) as f:
                    self.assertEqual(f.read(), "http=%d\nftp=%d\n" % (lab.http_port, lab.ftp_port))
                with open(lab.path("lab.conf")) as f:
                    conf = dict(line.split("=", 1) for line in f.read().splitlines()
                                if line and not line.startswith("#"))
                self.assertEqual(conf["info_server"], lab.base)
                self.assertEqual(conf["web_server"], lab.base)
                self.assertEqual(conf["analysis_server"], lab.base)
                self.assertEqual(conf["auth_server"], lab.base)
                for key in ("order_ftp_host", "ftp2_host", "test_ftp_host"):
                    self.assertEqual(conf[key], "127.0.0.1:%d" % lab.ftp_port)
                self.assertEqual(conf["order_ftp_user"], ORDER[0])
                code, _ = lab.stop(sig)
                self.assertEqual(code, 0)
                self.assertFalse(os.path.exists(lab.path("ports")), "a stale ports file stays")
                with self.assertRaises(OSError):
                    socket.create_connection(("127.0.0.1", lab.http_port), timeout=2).close()
            finally:
                lab.close()

    def test_fixed_ports_and_busy_port(self):
        http_port, ftp_port = free_port(), free_port()
        lab = Labsim("--http-port", str(http_port), "--ftp-port", str(ftp_port))
        try:
            self.assertEqual((lab.http_port, lab.ftp_port), (http_port, ftp_port))
            # A second instance on the same ports refuses to start instead of half running.
            with tempfile.TemporaryDirectory() as other:
                proc = subprocess.run([LABSIM, "--root", other, "--http-port", str(http_port)],
                                      capture_output=True, text=True, timeout=30)
                self.assertEqual(proc.returncode, 2)
                self.assertFalse(os.path.exists(os.path.join(other, "ports")))
        finally:
            lab.close()

    def test_stops_when_its_parent_is_gone(self):
        with tempfile.TemporaryDirectory() as root:
            ports = os.path.join(root, "ports")
            # The parent shell waits for the ports file, reports the child and exits.
            parent = subprocess.run(
                ["/bin/sh", "-c", '"$0" --root "$1" >/dev/null 2>&1 & '
                 'for i in $(seq 1 100); do [ -s "$2" ] && break; sleep 0.1; done; echo $!',
                 LABSIM, root, ports], capture_output=True, text=True, timeout=60)
            pid = int(parent.stdout.strip())
            self.assertTrue(os.path.exists(ports))
            gone = False
            for _ in range(100):
                if not process_alive(pid):
                    gone = True
                    break
                time.sleep(0.1)
            if not gone:
                os.kill(pid, signal.SIGTERM)
            self.assertTrue(gone, "labsim outlived its parent")

    def test_listens_on_loopback_only(self):
        lab = Labsim()
        try:
            listening = set()
            for table in ("/proc/net/tcp", "/proc/net/tcp6"):
                try:
                    with open(table) as f:
                        rows = f.read().splitlines()[1:]
                except OSError:
                    continue
                for row in rows:
                    cols = row.split()
                    addr, port = cols[1].split(":")
                    if cols[3] == "0A" and int(port, 16) in (lab.http_port, lab.ftp_port):
                        listening.add(addr)
            self.assertEqual(listening, {"0100007F"})  # 127.0.0.1, nothing else
            f = lab.ftp()
            host, _ = f.makepasv()
            self.assertEqual(host, "127.0.0.1")
            f.quit()
        finally:
            lab.close()


class HttpTest(LabsimCase):
    def test_information_pages_point_at_catalogues_served_here(self):
        status, body = self.lab.get("/halv_ix2/appinfo.html")
        self.assertEqual(status, 200)
        page = body.decode("utf-8")
        self.assertIn("MVL_DATA", page)
        self.assertNotIn("{{HTTP_BASE}}", page)
        self.assertEqual(len(marker(page, "APP_VER_MAC")), 5)
        for kind in ("PRINT", "SCHOOL", "RESIZE"):
            url = marker(page, kind + "_XML_URL")
            self.assertTrue(url.startswith(self.lab.base + "/"), url)
            status, xml = self.lab.get(url[len(self.lab.base):])
            self.assertEqual(status, 200)
            ver = re.search(rb"<ver_no>\s*(\d+)", xml)
            self.assertIsNotNone(ver)
            self.assertEqual(ver.group(1).decode(), marker(page, kind + "_XML_VER"))

        status, body = self.lab.get("/album_info_8.html")
        self.assertEqual(status, 200)
        album = body.decode("utf-8")
        self.assertIn("MVL_DATA", album)
        self.assertRegex(marker(album, "ALBUM_TS"), r"^\d{4}/\d\d/\d\d \d\d:\d\d:\d\d$")
        url = marker(album, "ALBUM_CSV_URL")
        status, csv = self.lab.get(url[len(self.lab.base):])
        self.assertEqual(status, 200)
        self.assertIn(b"CSV_DATA_ALBUM", csv)

    def test_changed_page_is_served_and_missing_file_is_404(self):
        with open(self.lab.path("http", "halv_ix2", "appinfo.html"), "w", encoding="utf-8") as f:
            f.write("MVL_DATA\n<!--APP_VER_MAC\n2.1.5\nAPP_VER_MAC-->\nKINELO-OFF\n{{HTTP_BASE}}\n")
        status, body = self.lab.get("/halv_ix2/appinfo.html")
        self.assertEqual(status, 200)
        self.assertEqual(body.decode(), "MVL_DATA\n<!--APP_VER_MAC\n2.1.5\nAPP_VER_MAC-->\n"
                                        "KINELO-OFF\n%s\n" % self.lab.base)
        self.assertEqual(self.lab.get("/nothing.html")[0], 404)
        self.assertEqual(self.lab.get("/../lab.conf")[0], 404)
        self.assertEqual(self.lab.get("/%2e%2e/lab.conf")[0], 404)

    def test_usage_reports_by_get_and_post_are_recorded_decoded(self):
        text = "Code<-#->1234<-##->Ver<-#->2.0.0<-##->Action<-#->Boot-NG<-##->ErrorInfo<-#->多重起動 a+b&c=d"
        escaped = urllib.parse.quote(text, safe="&=+/?:")
        self.assertEqual(self.lab.get(ANALYZER + "?data=" + escaped)[0], 200)
        self.assertEqual(self.lab.post(ANALYZER + "?data=", b"data=" + escaped.encode())[0], 200)
        get, post = self.lab.reports()
        self.assertEqual(get["method"], "GET")
        self.assertEqual(post["method"], "POST")
        for report in (get, post):
            self.assertEqual(report["text"], text)
            self.assertEqual(report["action"], "Boot-NG")
            self.assertEqual(report["fields"], [["Code", "1234"], ["Ver", "2.0.0"],
                                                ["Action", "Boot-NG"],
                                                ["ErrorInfo", "多重起動 a+b&c=d"]])
            self.assertEqual(report["raw"], "data=" + escaped)

    def test_customer_information_report_has_no_action(self):
        self.lab.post(ANALYZER + "?data=", b"data=Code%3C-%23-%3E1234%3C-%23%23-%3EVer%3C-%23-%3E2")
        (report,) = self.lab.reports()
        self.assertIsNone(report["action"])
        self.assertEqual(report["fields"], [["Code", "1234"], ["Ver", "2"]])

    def test_authentication_server(self):
        status, body = self.lab.get(AUTH + "ConvertMD5?str=custom9999")
        self.assertEqual(status, 200)
        digest = hashlib.md5(b"custom9999").hexdigest()
        self.assertEqual(body.decode(), "MD5=" + digest)
        self.assertEqual(self.lab.get(AUTH + "Auth?code=9999&pass=" + digest)[1], b"OK")
        self.assertEqual(self.lab.get(AUTH + "Auth?code=9999&pass=0000")[1], b"NG")
        self.assertEqual(self.lab.get(AUTH + "Auth?code=1234&pass=" + digest)[1], b"NG")
        self.assertEqual(self.lab.get(AUTH + "Auth?code=9999&pass=")[1], b"NG")
        for key, word in (("CustomAlbum", b"CSV_DATA_ALBUM"), ("CustomPrint2", b"order_set_print"),
                          ("CustomShcool", b"order_set_school")):
            status, body = self.lab.get(AUTH + "Auth?code=9999&pass=%s&key=%s" % (digest, key))
            self.assertIn(word, body, key)
        body = self.lab.get(AUTH + "Auth?code=9999&pass=%s&key=CustomPrint" % digest)[1]
        self.assertIn(b"DELETE-DATA", body)
        body = self.lab.get(AUTH + "Auth?code=9999&pass=bad&key=CustomAlbum")[1]
        self.assertEqual(body, b"NG")

    def test_customer_records_from_file_password_text_and_data_file(self):
        with open(self.lab.path("auth", "data.xml"), "w", encoding="utf-8") as f:
            f.write("<root><order_set_print/>カスタム</root>")
        with open(self.lab.path("auth", "customers.json"), "w", encoding="utf-8") as f:
            json.dump({"555": {"password": "日本語 pass", "data": {"CustomPrint2": "@data.xml"}},
                       "556": "plain"}, f)
        digest = self.lab.get(AUTH + "ConvertMD5?str=" + urllib.parse.quote("日本語 pass"))[1]
        digest = digest.decode()[len("MD5="):]
        self.assertEqual(digest, hashlib.md5("日本語 pass".encode()).hexdigest())
        body = self.lab.get(AUTH + "Auth?code=555&pass=%s&key=CustomPrint2" % digest)[1]
        self.assertEqual(body.decode(), "<root><order_set_print/>カスタム</root>")
        plain = hashlib.md5(b"plain").hexdigest()
        self.assertEqual(self.lab.get(AUTH + "Auth?code=556&pass=" + plain)[1], b"OK")


class FtpTest(LabsimCase):
    def test_each_account_uploads_renames_lists_and_deletes_in_its_folder(self):
        for account, folder, home in ((ORDER, "/ntordrsm2/", "order/ntordrsm2"),
                                      (FTP2, "/halvyx_mac/ntordrsm2/", "ftp2/halvyx_mac/ntordrsm2"),
                                      (TEST, "/mivel/490_halvix2_test/",
                                       "test/mivel/490_halvix2_test")):
            f = self.lab.ftp(account)
            upload(f, folder + "upload_1234_AABB_0000001.zip", b"PK-data")
            self.assertEqual(nlst(f, folder), ["upload_1234_AABB_0000001.zip"])
            f.rename(folder + "upload_1234_AABB_0000001.zip", folder + "1234_AABB_0000001.zip")
            self.assertEqual(nlst(f, folder), ["1234_AABB_0000001.zip"])
            local = self.lab.path("ftp", home, "1234_AABB_0000001.zip")
            with open(local, "rb") as fh:
                self.assertEqual(fh.read(), b"PK-data")
            f.delete(folder + "1234_AABB_0000001.zip")
            self.assertEqual(nlst(f, folder), [])
            f.quit()

    def test_accounts_are_separate_and_passwords_checked(self):
        f = self.lab.ftp(ORDER)
        with self.assertRaises(ftplib.error_perm):
            nlst(f, "/halvyx_mac/ntordrsm2/")
        f.quit()
        with self.assertRaises(ftplib.error_perm):
            self.lab.ftp((ORDER[0], "wrong"))
        with self.assertRaises(ftplib.error_perm):
            self.lab.ftp(("anonymous", "x@y"))

    def test_download_folder_lists_in_dos_style(self):
        folder = self.lab.path("ftp", "order", "dwnld", "1234")
        os.makedirs(os.path.join(folder, "sub"))
        with open(os.path.join(folder, "template one.zip"), "wb") as fh:
            fh.write(b"x" * 1234567)
        with open(os.path.join(folder, "1234.txt"), "w", encoding="utf-8") as fh:
            fh.write("お知らせ")
        # 2012-07-26 22:15 local time
        stamp = time.mktime((2012, 7, 26, 22, 15, 0, 0, 0, -1))
        os.utime(os.path.join(folder, "template one.zip"), (stamp, stamp))
        f = self.lab.ftp()
        lines = []
        f.retrlines("LIST /dwnld/1234/", lines.append)
        f.quit()
        self.assertEqual(len(lines), 3)
        rows = {}
        for line in lines:
            collapsed = re.sub(" +", " ", line)
            date, clock, size, name = collapsed.split(" ", 3)
            self.assertRegex(date, r"^\d\d-\d\d-\d\d$")
            self.assertRegex(clock, r"^\d\d:\d\d(AM|PM)$")
            rows[name] = (date, clock, size)
        self.assertEqual(rows["template one.zip"], ("07-26-12", "10:15PM", "1234567"))
        self.assertEqual(rows["1234.txt"][2], str(len("お知らせ".encode())))
        self.assertEqual(rows["sub"][2], "<DIR>")

    def test_version_up_archive_unpacks_to_its_own_folder(self):
        f = self.lab.ftp()
        data = io.BytesIO()
        f.retrbinary("RETR /upver/m/Halvix2_v215.zip", data.write)
        with zipfile.ZipFile(data) as z:
            self.assertIn("Halvix2_v215/Halvix2_Install.mpkg", z.namelist())
            self.assertTrue(all(n.startswith("Halvix2_v215/") for n in z.namelist()))
        # Only the version-up names are made up; anything else is simply missing.
        with self.assertRaises(ftplib.error_perm):
            f.retrbinary("RETR /upver/m/other.zip", data.write)
        self.lab.faults({"upver_missing": True})
        with self.assertRaises(ftplib.error_perm):
            f.retrbinary("RETR /upver/m/Halvix2_v300.zip", data.write)
        f.quit()

    def test_commands_are_logged(self):
        f = self.lab.ftp(TEST)
        upload(f, "/mivel/490_halvix2_test/upload_a.zip", b"a")
        f.delete("/mivel/490_halvix2_test/upload_a.zip")
        f.quit()
        with open(self.lab.path("ftp_log.jsonl"), encoding="utf-8") as fh:
            log = [json.loads(line) for line in fh]
        self.assertEqual([(e["user"], e["cmd"], e["path"]) for e in log if e["cmd"] != "CWD"],
                         [("mivel", "LOGIN", ""),
                          ("mivel", "STOR", "/mivel/490_halvix2_test/upload_a.zip"),
                          ("mivel", "RECEIVED", ""),
                          ("mivel", "DELE", "/mivel/490_halvix2_test/upload_a.zip")])
        # The data connection counts what came over it: one byte here.
        self.assertEqual([e["arg"] for e in log if e["cmd"] == "RECEIVED"], ["1"])


class FaultTest(LabsimCase):
    def test_command_delay_answers_late_and_every_command_can_be_logged(self):
        f = self.lab.ftp(TEST)
        self.addCleanup(f.close)
        started = time.monotonic()
        f.voidcmd("NOOP")
        quick = time.monotonic() - started
        self.lab.faults({"command_delay_ms": 300, "log_all_commands": True})
        started = time.monotonic()
        f.voidcmd("NOOP")
        self.assertGreaterEqual(time.monotonic() - started, 0.3)
        self.assertLess(quick, 0.3)
        with open(self.lab.path("ftp_log.jsonl"), encoding="utf-8") as fh:
            log = [json.loads(line) for line in fh]
        self.assertEqual([e["cmd"] for e in log][-1:], ["NOOP"])

    def test_close_after_upload_ends_the_session_after_its_226(self):
        self.lab.faults({"close_after_upload": True})
        f = self.lab.ftp(TEST)
        self.addCleanup(f.close)
        upload(f, "/mivel/490_halvix2_test/upload_b.zip", b"b")
        with self.assertRaises((EOFError, OSError, ftplib.Error)):
            f.voidcmd("NOOP")
        g = self.lab.ftp(TEST)
        self.addCleanup(g.close)
        g.voidcmd("TYPE I")
        self.assertEqual(g.size("/mivel/490_halvix2_test/upload_b.zip"), 1)

    def test_refuse_login_for_everyone_or_listed_users(self):
        self.lab.faults({"refuse_login": True})
        with self.assertRaises(ftplib.error_perm):
            self.lab.ftp(ORDER)
        self.lab.faults({"refuse_login": ["mivel"]})
        with self.assertRaises(ftplib.error_perm):
            self.lab.ftp(TEST)
        self.lab.ftp(FTP2).quit()
        self.lab.faults({})
        self.lab.ftp(TEST).quit()

    def test_drop_upload_after_bytes_only_for_matching_names(self):
        self.lab.faults({"drop_upload_after": 100000, "drop_upload_match": "upload_*"})
        f = self.lab.ftp()
        self.addCleanup(f.close)
        upload(f, "/ntordrsm2/plain.zip", b"y" * 300000)  # not matching: complete
        with self.assertRaises((ftplib.Error, OSError, EOFError)):
            upload(f, "/ntordrsm2/upload_big.zip", b"z" * 3000000)
        folder = self.lab.path("ftp", "order", "ntordrsm2")
        self.assertEqual(os.path.getsize(os.path.join(folder, "plain.zip")), 300000)
        self.assertEqual(os.path.getsize(os.path.join(folder, "upload_big.zip")), 100000)

    def test_drop_upload_times_breaks_once_then_a_resume_appends(self):
        self.lab.faults({"drop_upload_after": 60000, "drop_upload_times": 1})
        data = bytes(range(256)) * 400
        with self.assertRaises((ftplib.Error, OSError, EOFError)):
            f = self.lab.ftp()
            upload(f, "/ntordrsm2/upload_r.zip", data)
        path = os.path.join(self.lab.path("ftp", "order", "ntordrsm2"), "upload_r.zip")
        self.assertEqual(os.path.getsize(path), 60000)
        f = self.lab.ftp()
        self.addCleanup(f.close)
        f.storbinary("APPE /ntordrsm2/upload_r.zip", io.BytesIO(data[60000:]))
        with open(path, "rb") as stored:
            self.assertEqual(stored.read(), data)

    def test_rename_keeps_temp_name_fail_nlst_and_refuse_upload(self):
        f = self.lab.ftp()
        upload(f, "/ntordrsm2/upload_a.zip", b"a")
        self.lab.faults({"rename_keeps_temp": True})
        f.rename("/ntordrsm2/upload_a.zip", "/ntordrsm2/a.zip")  # answered as done
        self.assertEqual(nlst(f, "/ntordrsm2/"), ["upload_a.zip"])
        self.lab.faults({"fail_nlst": True})
        with self.assertRaises(ftplib.error_perm):
            nlst(f, "/ntordrsm2/")
        self.lab.faults({"refuse_upload": "upload_*0000002*"})
        upload(f, "/ntordrsm2/upload_1_A_0000001.zip", b"1")
        with self.assertRaises(ftplib.error_perm):
            upload(f, "/ntordrsm2/upload_1_A_0000002.zip", b"2")
        self.lab.faults({})
        self.assertEqual(nlst(f, "/ntordrsm2/"), ["upload_1_A_0000001.zip", "upload_a.zip"])
        f.quit()

    def test_truncate_upload_stores_less_and_still_answers_226(self):
        self.lab.faults({"truncate_upload": 1000, "truncate_upload_match": "upload_*"})
        f = self.lab.ftp()
        self.addCleanup(f.close)
        reply = f.storbinary("STOR /ntordrsm2/upload_t.zip", io.BytesIO(b"t" * 50000))
        self.assertTrue(reply.startswith("226"), reply)
        upload(f, "/ntordrsm2/plain.zip", b"p" * 5000)  # not matching: complete
        f.voidcmd("TYPE I")
        self.assertEqual(f.size("/ntordrsm2/upload_t.zip"), 49000)
        self.assertEqual(f.size("/ntordrsm2/plain.zip"), 5000)
        self.lab.faults({"truncate_upload": True})
        upload(f, "/ntordrsm2/upload_u.zip", b"u" * 10)
        self.assertEqual(f.size("/ntordrsm2/upload_u.zip"), 9)

    def test_vanish_upload_removes_the_file_after_226(self):
        self.lab.faults({"vanish_upload": "upload_*"})
        f = self.lab.ftp()
        self.addCleanup(f.close)
        reply = f.storbinary("STOR /ntordrsm2/upload_v.zip", io.BytesIO(b"v" * 20000))
        self.assertTrue(reply.startswith("226"), reply)
        upload(f, "/ntordrsm2/kept.zip", b"k")
        self.assertEqual(nlst(f, "/ntordrsm2/"), ["kept.zip"])
        with self.assertRaises(ftplib.error_perm):
            f.rename("/ntordrsm2/upload_v.zip", "/ntordrsm2/v.zip")
        self.lab.faults({"vanish_upload": True})
        upload(f, "/ntordrsm2/any.zip", b"a")
        self.assertEqual(nlst(f, "/ntordrsm2/"), ["kept.zip"])

    def test_hash_command_only_when_switched_on_and_listed_in_feat(self):
        f = self.lab.ftp()
        self.addCleanup(f.close)
        data = b"order bytes " * 1000
        upload(f, "/ntordrsm2/h.zip", data)
        digest = hashlib.sha256(data).hexdigest()
        self.assertNotIn("HASH", f.sendcmd("FEAT"))
        self.assertNotIn("XSHA256", f.sendcmd("FEAT"))
        with self.assertRaises(ftplib.error_perm):
            f.sendcmd("XSHA256 /ntordrsm2/h.zip")
        self.lab.faults({"hash_command": "HASH"})
        self.assertIn(" HASH SHA-256*", f.sendcmd("FEAT"))
        self.assertEqual(f.sendcmd("HASH /ntordrsm2/h.zip"),
                         "213 SHA-256 0-%d %s /ntordrsm2/h.zip" % (len(data) - 1, digest))
        with self.assertRaises(ftplib.error_perm):
            f.sendcmd("HASH /ntordrsm2/missing.zip")
        self.lab.faults({"hash_command": "XSHA256"})
        feat = f.sendcmd("FEAT")
        self.assertIn(" XSHA256", feat)
        self.assertNotIn("HASH", feat)
        self.assertEqual(f.sendcmd("XSHA256 /ntordrsm2/h.zip"), "213 " + digest)
        with open(self.lab.path("ftp_log.jsonl"), encoding="utf-8") as fh:
            commands = [json.loads(line)["cmd"] for line in fh]
        self.assertIn("XSHA256", commands)

    def test_write_only_folder_lists_empty_with_success(self):
        f = self.lab.ftp()
        self.addCleanup(f.close)
        upload(f, "/ntordrsm2/upload_w.zip", b"w" * 100)
        self.lab.faults({"write_only": True})
        lines = []
        reply = f.retrlines("NLST /ntordrsm2/", lines.append)
        self.assertTrue(reply.startswith("226"), reply)
        self.assertEqual(lines, [])
        listing = []
        f.retrlines("LIST /ntordrsm2/", listing.append)
        self.assertEqual(listing, [])
        # Writing, renaming and sizing still work: only the listing is withheld.
        f.rename("/ntordrsm2/upload_w.zip", "/ntordrsm2/w.zip")
        f.voidcmd("TYPE I")
        self.assertEqual(f.size("/ntordrsm2/w.zip"), 100)
        self.lab.faults({})
        self.assertEqual(nlst(f, "/ntordrsm2/"), ["w.zip"])

    def test_refuse_rnto_keeps_the_temporary_name(self):
        f = self.lab.ftp()
        self.addCleanup(f.close)
        upload(f, "/ntordrsm2/upload_r.zip", b"r")
        self.lab.faults({"refuse_rnto": True})
        with self.assertRaises(ftplib.error_perm) as caught:
            f.rename("/ntordrsm2/upload_r.zip", "/ntordrsm2/r.zip")
        self.assertTrue(str(caught.exception).startswith("553"))
        self.assertEqual(nlst(f, "/ntordrsm2/"), ["upload_r.zip"])
        self.lab.faults({})
        f.rename("/ntordrsm2/upload_r.zip", "/ntordrsm2/r.zip")
        f.voidcmd("NOOP")  # the server has finished with the rename once this is answered
        with open(self.lab.path("ftp_log.jsonl"), encoding="utf-8") as log:
            renamed = [e["path"] for e in map(json.loads, log) if e["cmd"] == "RENAMED"]
        self.assertEqual(renamed, ["/ntordrsm2/r.zip"])  # the refused rename is not counted

    def test_rnto_drop_reply_renames_then_closes_without_answer(self):
        f = self.lab.ftp()
        upload(f, "/ntordrsm2/upload_d.zip", b"d" * 100)
        self.lab.faults({"rnto_drop_reply": True})
        f.sendcmd("RNFR /ntordrsm2/upload_d.zip")
        with self.assertRaises((ftplib.Error, OSError, EOFError)):
            f.sendcmd("RNTO /ntordrsm2/d.zip")
        f.close()
        self.lab.faults({})
        g = self.lab.ftp()
        self.addCleanup(g.close)
        self.assertEqual(nlst(g, "/ntordrsm2/"), ["d.zip"])
        with open(self.lab.path("ftp_log.jsonl"), encoding="utf-8") as log:
            renamed = [e["path"] for e in map(json.loads, log) if e["cmd"] == "RENAMED"]
        self.assertEqual(renamed, ["/ntordrsm2/d.zip"])

    def test_refuse_appe_answers_451_and_size_550_hides_every_size(self):
        f = self.lab.ftp()
        self.addCleanup(f.close)
        upload(f, "/ntordrsm2/upload_a.zip", b"a" * 10)
        self.lab.faults({"refuse_appe": True})
        with self.assertRaises(ftplib.error_temp) as caught:
            f.storbinary("APPE /ntordrsm2/upload_a.zip", io.BytesIO(b"more"))
        self.assertTrue(str(caught.exception).startswith("451"))
        f.voidcmd("TYPE I")
        self.assertEqual(f.size("/ntordrsm2/upload_a.zip"), 10)  # nothing appended
        self.lab.faults({"size_550": True})
        with self.assertRaises(ftplib.error_perm) as caught:
            f.size("/ntordrsm2/upload_a.zip")
        self.assertTrue(str(caught.exception).startswith("550"))
        self.lab.faults({})
        f.storbinary("APPE /ntordrsm2/upload_a.zip", io.BytesIO(b"more"))
        self.assertEqual(f.size("/ntordrsm2/upload_a.zip"), 14)

    def test_upload_rate_slows_an_upload_down(self):
        self.lab.faults({"upload_rate": 100000})
        f = self.lab.ftp()
        self.addCleanup(f.close)
        started = time.monotonic()
        upload(f, "/ntordrsm2/slow.zip", b"s" * 300000)
        # Three times the rate takes three seconds: no free burst at the start of a connection,
        # so an upload broken in two is not faster than one of the same bytes.
        self.assertGreaterEqual(time.monotonic() - started, 2.9)
        self.assertEqual(os.path.getsize(self.lab.path("ftp", "order", "ntordrsm2", "slow.zip")),
                         300000)

    def test_http_faults_limited_to_a_path_prefix(self):
        self.lab.faults({"http_status": {"value": 500, "path": "/halv_ix2/"}})
        self.assertEqual(self.lab.get("/halv_ix2/appinfo.html")[0], 500)
        self.assertEqual(self.lab.get("/album_info_8.html")[0], 200)
        self.lab.faults({"http_no_mvl_data": True, "http_path": "/album"})
        self.assertIn(b"MVL_DATA", self.lab.get("/halv_ix2/appinfo.html")[1])
        self.assertNotIn(b"MVL_DATA", self.lab.get("/album_info_8.html")[1])
        self.lab.faults({"http_non_utf8": True})
        body = self.lab.get("/halv_ix2/appinfo.html")[1]
        with self.assertRaises(UnicodeDecodeError):
            body.decode("utf-8")

    def test_http_delay_outlasts_a_short_client_timeout(self):
        self.lab.faults({"http_delay": {"value": 30, "path": "/album"}})
        with self.assertRaises(OSError):  # socket.timeout / URLError
            self.lab.get("/album_info_8.html", timeout=0.5)
        self.assertEqual(self.lab.get("/halv_ix2/appinfo.html")[0], 200)
        # A delayed request does not hold up stopping.
        code, _ = self.lab.stop()
        self.assertEqual(code, 0)

    def test_control_path_sets_and_shows_faults(self):
        status, body = self.lab.post("/_control/faults", b'{"fail_nlst": true}')
        self.assertEqual(status, 200)
        self.assertEqual(json.loads(body), {"fail_nlst": True})
        with open(self.lab.path("faults.json"), encoding="utf-8") as fh:
            self.assertEqual(json.load(fh), {"fail_nlst": True})
        self.assertEqual(json.loads(self.lab.get("/_control/faults")[1]), {"fail_nlst": True})
        self.assertEqual(self.lab.post("/_control/faults", b"[1]")[0], 400)
        self.assertEqual(self.lab.post("/_control/faults", b"{oops")[0], 400)
        # The control path itself is never subject to the HTTP faults.
        self.lab.post("/_control/faults", b'{"http_status": 500}')
        self.assertEqual(self.lab.get("/_control/faults")[0], 200)
        self.assertEqual(self.lab.get("/album_info_8.html")[0], 500)
        self.lab.post("/_control/faults", b"{}")
        self.assertEqual(self.lab.get("/album_info_8.html")[0], 200)

    def put_download(self, name, size):
        folder = self.lab.path("ftp", "order", "dwnld", "1234")
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, name), "wb") as fh:
            fh.write(b"d" * size)

    def test_drop_download_after_bytes_only_for_matching_names(self):
        self.put_download("big.zip", 3000000)
        self.put_download("small.txt", 1000)
        self.lab.faults({"drop_download_after": 200000, "download_match": "*.zip"})
        f = self.lab.ftp()
        self.addCleanup(f.close)
        got = bytearray()
        f.retrbinary("RETR /dwnld/1234/small.txt", got.extend)
        self.assertEqual(len(got), 1000)
        got = bytearray()
        with self.assertRaises((ftplib.Error, OSError, EOFError)):
            f.retrbinary("RETR /dwnld/1234/big.zip", got.extend)
        self.assertEqual(len(got), 200000)

    def test_hold_download_stalls_until_the_fault_is_cleared_and_refuse_delete(self):
        self.put_download("big.zip", 1000000)
        self.lab.faults({"hold_download_after": 100000})
        f = self.lab.ftp()
        self.addCleanup(f.close)
        got = bytearray()
        held = threading.Event()

        def receive(chunk):
            got.extend(chunk)
            if len(got) >= 100000:
                held.set()

        reader = threading.Thread(target=f.retrbinary, args=("RETR /dwnld/1234/big.zip", receive))
        reader.start()
        self.assertTrue(held.wait(20))
        reader.join(0.5)
        self.assertTrue(reader.is_alive())  # stalled at the limit, connection still open
        self.assertEqual(len(got), 100000)
        self.lab.faults({"refuse_delete": "upload_*"})
        reader.join(20)
        self.assertFalse(reader.is_alive())
        self.assertEqual(len(got), 1000000)
        upload(f, "/ntordrsm2/upload_probe", b"1")
        with self.assertRaises(ftplib.error_perm):
            f.delete("/ntordrsm2/upload_probe")
        self.lab.faults({})
        f.delete("/ntordrsm2/upload_probe")

    def test_unreadable_faults_file_means_no_faults(self):
        with open(self.lab.path("faults.json"), "w") as fh:
            fh.write("{not json")
        self.assertEqual(self.lab.get("/album_info_8.html")[0], 200)
        self.lab.ftp().quit()


if __name__ == "__main__":
    unittest.main()
