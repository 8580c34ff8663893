#!/usr/bin/env python3
"""A small local site that answers the way a Moodle site does, for the tests.

It keeps sessions in a cookie named MoodleSession, offers the login page and
its post, a dashboard, a course settings page with rich-text editors, the
repository upload service with Moodle's JSON answers and the draft-file
addresses. Every request is recorded (method, path, headers, body) so tests
can assert what the program sent.

Usage:  moodlesite.py [--port N] [--record FILE] [--editor legacy]
                      [--login plain|token] [--user NAME] [--password PW]
Prints "PORT <n>" on its first output line once it listens on 127.0.0.1.
Stops on SIGTERM, on GET /__test__/quit, or (with --watch-stdin) when its
standard input closes.

Test-only endpoints (never recorded):
  GET  /__test__/requests    every recorded request as JSON (bodies in base64)
  POST /__test__/reset       forget the recorded requests
  POST /__test__/config      merge a JSON object into the site's switches:
       "editor":        page family of the course page: "legacy" (TinyMCE 3),
                        "tiny" (TinyMCE 6/7) or "atto" (see EDITOR_PAGES)
       "login":         "plain" (two fields) or "token" (logintoken required)
       "repositories":  list of {"id","type","name"} for the picker options
       "itemid_as_string": write the picker options' itemid as a string
                        (true, or a format such as "00%d")
       "upload_delay":  seconds the upload service waits before answering
       "upload_answers": raw answer texts given to the next uploads, in
                        order, instead of the site's own answer
       "maxbytes":      the picker options' maxbytes (-1: no limit)
       "picker_omit":   names of members left out of every editor's picker
                        options (for example ["client_id"])
       "login_action":  the address the login form posts to (another
                        server's, for tests of where the password may go);
                        empty: the site's own login page

       "editor_content": the HTML every editor of the course page starts with
                        (empty: "<p>Text of <field></p>")
       "site_files":    {path: {"type", "text" or "base64", "status",
                        "location"}}: what the site answers, with the
                        session only, at those paths (hostile content:
                        a text named .png, a page redirected to)

GET /grade/report/user/index.php is the user's grade report (with the
session only): a page of the site that is no picture.

POST /course/edit.php saves the course form (the fields are recorded like any
request) and answers a "Changes saved" page.
"""

import argparse
import base64
import html
import json
import mimetypes
import os
import random
import re
import secrets
import signal
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

SYSTEM_CONTEXT_ID = 1
USER_CONTEXT_ID = 5
COURSE_CONTEXT_ID = 25
DEFAULT_REPOSITORIES = [
    {"id": "1", "type": "local", "name": "Server files"},
    {"id": "2", "type": "recent", "name": "Recent files"},
    {"id": "3", "type": "upload", "name": "Upload a file"},
    {"id": "4", "type": "user", "name": "Private files"},
]
EDITOR_FIELDS = ["summary_editor", "description_editor"]


class Session:
    def __init__(self, sid):
        self.sid = sid
        self.user = None
        self.sesskey = "".join(random.choice("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789")
                               for _ in range(10))
        self.logintoken = secrets.token_hex(16)
        self.drafts = {}  # itemid -> {filename: bytes}


class Site:
    def __init__(self, args):
        self.lock = threading.Lock()
        self.sessions = {}
        self.records = []
        self.record_file = args.record
        self.user = args.user
        self.password = args.password
        self.config = {
            "editor": args.editor,
            "login": args.login,
            "repositories": DEFAULT_REPOSITORIES,
            "itemid_as_string": False,
            "upload_answers": [],
            "maxbytes": -1,
            "upload_delay": 0,
            "picker_omit": [],
            "editor_content": "",
            "site_files": {},
            # Seconds between the 64 KB pieces of a course file, so a
            # download can be watched and cancelled on its way.
            "download_delay": 0,
        }

    def record(self, entry):
        with self.lock:
            self.records.append(entry)
            if self.record_file:
                with open(self.record_file, "a", encoding="utf-8") as f:
                    f.write(json.dumps(entry) + "\n")

    def session(self, sid):
        with self.lock:
            if sid and sid in self.sessions:
                return self.sessions[sid], False
            sid = secrets.token_hex(13)
            s = Session(sid)
            self.sessions[sid] = s
            return s, True


def php_json(value):
    # PHP's json_encode writes every slash escaped.
    return json.dumps(value, ensure_ascii=False, separators=(",", ":")).replace("/", "\\/")


def parse_multipart(content_type, body):
    """Answers (fields: list of (name, text)), (files: list of (name, filename, ctype, bytes)).

    Split by hand rather than with the email package, which may rewrite line
    ends of binary parts."""
    m = re.search(r'boundary="?([^";]+)"?', content_type)
    fields, files = [], []
    if not m:
        return fields, files
    delim = b"--" + m.group(1).encode("latin-1")
    for chunk in body.split(delim)[1:]:
        if chunk.startswith(b"--"):
            break
        if chunk.startswith(b"\r\n"):
            chunk = chunk[2:]
        head, sep, data = chunk.partition(b"\r\n\r\n")
        if not sep:
            continue
        if data.endswith(b"\r\n"):
            data = data[:-2]
        headers = {}
        for line in head.decode("utf-8", "replace").split("\r\n"):
            k, _, v = line.partition(":")
            headers[k.strip().lower()] = v.strip()
        disp = headers.get("content-disposition", "")
        name = re.search(r'\bname="([^"]*)"', disp)
        filename = re.search(r'\bfilename="([^"]*)"', disp)
        name = name.group(1) if name else ""
        if filename is not None:
            files.append((name, filename.group(1), headers.get("content-type", ""), data))
        else:
            fields.append((name, data.decode("utf-8", "replace")))
    return fields, files


def page(title, body, session, wwwroot, extra_head=""):
    cfg = {"wwwroot": wwwroot, "sesskey": session.sesskey, "loadingicon": wwwroot + "/theme/image.php"}
    return ("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>%s</title>\n"
            "<script>var M = {}; M.yui = {}; M.cfg = %s;</script>\n%s</head>\n"
            "<body id=\"page-site\">\n%s\n</body></html>\n") % (
        html.escape(title), json.dumps(cfg), extra_head, body)


def legacy_tinymce_editor(field, itemid):
    """The markup of a Moodle 2.x TinyMCE editor replacing textarea id_<field>."""
    eid = "id_" + field
    return (
        '<div class="fitem"><div class="felement feditor">'
        '<textarea id="%(eid)s" name="%(field)s[text]" rows="15" cols="80" style="display: none;"></textarea>'
        '<span id="%(eid)s_parent" class="mceEditor"><table id="%(eid)s_tbl" class="mceLayout"><tbody>'
        '<tr class="mceFirst"><td class="mceIframeContainer mceFirst mceLast">'
        '<iframe id="%(eid)s_ifr" frameborder="0" src="javascript:&quot;&quot;" title="Rich text area."'
        ' allowtransparency="true"></iframe></td></tr></tbody></table></span>'
        '<input type="hidden" name="%(field)s[format]" value="1">'
        '<input type="hidden" name="%(field)s[itemid]" value="%(itemid)d">'
        '</div></div>\n') % {"eid": eid, "field": field, "itemid": itemid}


# Script that fills each editor frame the way TinyMCE 3 does: it writes a
# fresh document into the javascript: frame, whose body is mceContentBody.
LEGACY_EDITOR_BOOT = """
<script>
(function(){
  function boot(id, content){
    var f = document.getElementById(id + "_ifr");
    var d = f.contentWindow.document;
    d.open();
    d.write('<!DOCTYPE html><html><head><meta charset="utf-8"></head>' +
            '<body id="tinymce" class="mceContentBody" contenteditable="true" dir="ltr">' + content + '</body></html>');
    d.close();
    // TinyMCE 3 saves each editor into its textarea when the form is submitted.
    document.getElementById(id).form.addEventListener("submit", function () {
      document.getElementById(id).value = f.contentWindow.document.body.innerHTML;
    });
  }
  window.addEventListener("DOMContentLoaded", function(){
    %s
  });
})();
</script>
"""


def initial_content(site, field):
    return site.config["editor_content"] or "<p>Text of %s</p>" % field


def itemid_value(as_string, itemid):
    # False: a number, as Moodle writes it; True: a string of digits; a text
    # with %d: that text (for example "00%d").
    if isinstance(as_string, str):
        return as_string % itemid
    return str(itemid) if as_string else itemid


def picker_repositories(site, wwwroot):
    repos = {}
    for r in site.config["repositories"]:
        repos[str(r["id"])] = {
            "id": str(r["id"]), "name": r.get("name", r["type"]), "type": r["type"],
            "icon": wwwroot + "/theme/image.php/standard/repository_" + r["type"] + "/icon",
            "supported_types": [".jpg", ".png", ".gif"] if r["type"] == "upload" else [],
            "return_types": 2 if r["type"] == "upload" else 6,
            "sortorder": len(repos) + 1,
        }
    return repos


def picker_options(site, session, wwwroot):
    """Per item type picker options of one editor, its draft item id, and the
    file picker instances they add to the page."""
    itemid = random.randint(100000000, 999999999)
    with site.lock:
        session.drafts.setdefault(itemid, {})
    repos = picker_repositories(site, wwwroot)
    per_type, instances = {}, {}
    for item in ("image", "media", "link"):
        client_id = secrets.token_hex(7)[:13]
        per_type[item] = {
            "defaultlicense": "allrightsreserved",
            "licenses": [{"shortname": "allrightsreserved", "fullname": "All rights reserved"}],
            "author": "Teacher One",
            "repositories": repos,
            "externallink": True,
            "userprefs": {"recentrepository": "3", "recentlicense": "allrightsreserved"},
            "accepted_types": [".gif", ".jpe", ".jpeg", ".jpg", ".png"] if item == "image" else ["*"],
            "return_types": 15,
            "context": {"id": COURSE_CONTEXT_ID, "contextlevel": 50, "instanceid": "2", "path": "/1/3/25", "depth": "3"},
            "client_id": client_id,
            "maxbytes": site.config["maxbytes"],
            "areamaxbytes": -1,
            "env": "editor",
            "itemid": itemid_value(site.config["itemid_as_string"], itemid),
        }
        instances[client_id] = {"client_id": client_id, "env": "editor", "itemid": per_type[item]["itemid"]}
        for name in site.config["picker_omit"]:
            per_type[item].pop(name, None)
    return per_type, itemid, instances


def course_form(session, editors_html):
    return (
        '<div id="page"><h2>Editing course settings</h2>'
        '<form id="mform1" method="post" action="edit.php">'
        '<input type="hidden" name="sesskey" value="%s">'
        '<div><label for="id_fullname">Course full name</label>'
        '<input type="text" id="id_fullname" name="fullname" value="Course One"></div>%s'
        '<input type="submit" id="id_submitbutton" value="Save changes"></form></div>') % (
        session.sesskey, "".join(editors_html))


def legacy_editor_page(site, session, wwwroot):
    options, instances, editors_html, boots = {}, {}, [], []
    for field in EDITOR_FIELDS:
        eid = "id_" + field
        per_type, itemid, inst = picker_options(site, session, wwwroot)
        options[eid] = per_type
        instances.update(inst)
        editors_html.append('<div class="fitemtitle"><label for="%s">%s</label></div>' % (eid, field))
        editors_html.append(legacy_tinymce_editor(field, itemid))
        boots.append('boot(%s, %s);' % (json.dumps(eid), json.dumps(initial_content(site, field))))
    head = ("<script>M.editor_tinymce = {}; M.editor_tinymce.filepicker_options = %s;\n"
            "M.core_filepicker = {}; M.core_filepicker.instances = %s;</script>\n") % (
        json.dumps(options), json.dumps(instances))
    return page("Course: Edit course settings", course_form(session, editors_html), session, wwwroot,
                head + LEGACY_EDITOR_BOOT % "\n    ".join(boots))


# TinyMCE 6/7 (Moodle 4.1 and later): the frame sits in div.tox-edit-area; the
# picker options are registered options of the editor instance that the
# page's global tinymce object holds.
TINY_EDITOR_BOOT = """
<script>
(function(){
  var editors = {};
  window.tinymce = {
    get: function (id) { return id === undefined ? Object.values(editors) : (editors[id] || null); }
  };
  function boot(id, content, opts) {
    var f = document.getElementById(id + "_ifr");
    var d = f.contentWindow.document;
    d.open();
    d.write('<!DOCTYPE html><html><head><meta charset="utf-8"></head>' +
            '<body id="tinymce" class="mce-content-body" data-id="' + id + '" contenteditable="true">' + content + '</body></html>');
    d.close();
    var ta = document.getElementById(id);
    editors[id] = {
      id: id,
      options: { get: function (name) { return opts[name]; } },
      getContent: function () { return d.body.innerHTML; },
      setContent: function (html) { d.body.innerHTML = html; ta.value = html; return html; },
      getBody: function () { return d.body; },
      getDoc: function () { return d; }
    };
    ta.value = content;
    // The editor saves itself into the textarea when the form is submitted.
    ta.form.addEventListener("submit", function () { ta.value = d.body.innerHTML; });
  }
  window.addEventListener("DOMContentLoaded", function(){
    %s
  });
})();
</script>
"""


def tiny_editor_page(site, session, wwwroot):
    editors_html, boots = [], []
    for field in EDITOR_FIELDS:
        eid = "id_" + field
        per_type, itemid, _ = picker_options(site, session, wwwroot)
        opts = {"moodle:filepickers": per_type, "moodle:draftitemid": itemid, "moodle:contextid": COURSE_CONTEXT_ID}
        editors_html.append(
            '<div class="fitem"><div class="felement feditor">'
            '<textarea id="%(eid)s" name="%(field)s[text]" rows="15" cols="80" style="display: none;" aria-hidden="true"></textarea>'
            '<div role="application" class="tox tox-tinymce"><div class="tox-editor-container">'
            '<div class="tox-sidebar-wrap"><div class="tox-edit-area">'
            '<iframe id="%(eid)s_ifr" frameborder="0" allowtransparency="true" title="Rich text area"'
            ' class="tox-edit-area__iframe"></iframe></div></div></div></div>'
            '<input type="hidden" name="%(field)s[format]" value="1">'
            '<input type="hidden" name="%(field)s[itemid]" value="%(itemid)d">'
            '</div></div>\n' % {"eid": eid, "field": field, "itemid": itemid})
        boots.append("boot(%s, %s, %s);" % (json.dumps(eid), json.dumps(initial_content(site, field)), json.dumps(opts)))
    return page("Course: Edit course settings", course_form(session, editors_html), session, wwwroot,
                TINY_EDITOR_BOOT % "\n    ".join(boots))


# Atto: no frame; the editable element is a div whose id is the textarea's id
# followed by "editable". Its options, picker options included, are given to
# the editor's init call in the page's footer script and stay inside the
# editor instance; the page keeps no map of them. The editor copies its
# content into the textarea when the form is submitted.
ATTO_EDITOR_SCRIPT = """
<script>
window.Y = {
  M: {editor_atto: {Editor: {init: function (config) {
    var div = document.getElementById(config.elementid + "editable");
    var ta = document.getElementById(config.elementid);
    var instance = {
      get: function (name) { return config[name]; },
      updateOriginal: function () { ta.value = div.innerHTML; }
    };
    ta.form.addEventListener("submit", instance.updateOriginal);
    return instance;
  }}}},
  use: function () { arguments[arguments.length - 1](Y); }
};
</script>
"""


def atto_editor_page(site, session, wwwroot):
    editors_html, inits = [], []
    for field in EDITOR_FIELDS:
        eid = "id_" + field
        per_type, itemid, _ = picker_options(site, session, wwwroot)
        editors_html.append(
            '<div class="fitem"><div class="felement feditor"><div class="editor_atto">'
            '<div class="editor_atto_content_wrap"><div id="%(eid)seditable" contenteditable="true" role="textbox"'
            ' spellcheck="true" aria-live="off" class="editor_atto_content form-control">%(content)s</div></div>'
            '<textarea id="%(eid)s" name="%(field)s[text]" rows="15" cols="80" hidden="hidden"></textarea></div>'
            '<input type="hidden" name="%(field)s[format]" value="1">'
            '<input type="hidden" name="%(field)s[itemid]" value="%(itemid)d">'
            '</div></div>\n' % {"eid": eid, "field": field, "itemid": itemid,
                                 "content": initial_content(site, field)})
        config = {"elementid": eid, "content_css": wwwroot + "/theme/styles.php", "contextid": COURSE_CONTEXT_ID,
                  "autosave": True, "language": "en", "directionality": "ltr", "filepickeroptions": per_type,
                  "plugins": [{"group": "style1", "plugins": [{"name": "bold"}, {"name": "image"}]}],
                  "pageHash": secrets.token_hex(20)}
        inits.append("Y.M.editor_atto.Editor.init(%s);" % php_json(config))
    footer = ('<script>\n//<![CDATA[\nY.use("moodle-editor_atto-editor", "moodle-atto_image-button", function() {%s});'
              '\n//]]>\n</script>') % "".join(inits)
    return page("Course: Edit course settings", course_form(session, editors_html) + footer, session, wwwroot,
                ATTO_EDITOR_SCRIPT)


# Page families of the course page, by the "editor" switch.
EDITOR_PAGES = {"legacy": legacy_editor_page, "tiny": tiny_editor_page, "atto": atto_editor_page}


def login_page(site, session, wwwroot, error=""):
    token = ""
    if site.config["login"] == "token":
        token = '<input type="hidden" name="logintoken" value="%s">' % session.logintoken
    err = '<div class="loginerrors"><span class="error">%s</span></div>' % html.escape(error) if error else ""
    body = ('<div id="page"><h2>Log in</h2>%s'
            '<form action="%s" method="post" id="login">%s'
            '<input type="text" name="username" id="username" value="">'
            '<input type="password" name="password" id="password" value="">'
            '<button type="submit" id="loginbtn">Log in</button></form></div>') % (
                err, html.escape(site.config.get("login_action") or wwwroot + "/login/index.php"), token)
    return page("Site: Log in to the site", body, session, wwwroot)


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    # Headers and body leave in separate writes; with Nagle's algorithm the
    # body would wait for the client's delayed acknowledgement (about 40 ms).
    disable_nagle_algorithm = True
    server_version = "Apache"
    sys_version = ""

    def log_message(self, fmt, *args):
        pass

    @property
    def site(self):
        return self.server.site

    # --- plumbing -------------------------------------------------------

    def wwwroot(self):
        return "http://%s" % (self.headers.get("Host") or "127.0.0.1:%d" % self.server.server_port)

    def read_body(self):
        n = int(self.headers.get("Content-Length") or 0)
        return self.rfile.read(n) if n > 0 else b""

    def cookie_sid(self):
        for part in (self.headers.get("Cookie") or "").split(";"):
            k, _, v = part.strip().partition("=")
            if k == "MoodleSession":
                return v
        return None

    def reply(self, status, body, ctype="text/html; charset=utf-8", headers=()):
        if isinstance(body, str):
            body = body.encode("utf-8")
        self.send_response(status)
        if self.new_session:
            self.send_header("Set-Cookie", "MoodleSession=%s; path=/; HttpOnly" % self.sess.sid)
        self.send_header("Content-Type", ctype)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Cache-Control", "no-store, no-cache, must-revalidate")
        for k, v in headers:
            self.send_header(k, v)
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    def redirect(self, location):
        self.reply(303, "", headers=[("Location", location)])

    def do_GET(self):
        self.handle_any("GET")

    def do_POST(self):
        self.handle_any("POST")

    def handle_any(self, method):
        body = self.read_body()
        url = urllib.parse.urlsplit(self.path)
        if url.path.startswith("/__test__/"):
            return self.test_endpoint(method, url, body)
        self.site.record({
            "method": method, "path": self.path,
            "headers": [[k, v] for k, v in self.headers.items()],
            "body": base64.b64encode(body).decode("ascii"),
        })
        self.sess, self.new_session = self.site.session(self.cookie_sid())
        if url.path in self.site.config["site_files"]:
            return self.site_file(self.site.config["site_files"][url.path])
        route = ROUTES.get(url.path)
        if route is None and url.path.startswith("/draftfile.php/"):
            route = Handler.draftfile
        if route is None and url.path.startswith("/pluginfile.php/"):
            route = Handler.pluginfile
        if route is None:
            return self.reply(404, page("Error", "<p>File not found</p>", self.sess, self.wwwroot()))
        route(self, method, url, body)

    def form_fields(self, body):
        ctype = self.headers.get("Content-Type") or ""
        if ctype.startswith("multipart/form-data"):
            return parse_multipart(ctype, body)
        return urllib.parse.parse_qsl(body.decode("utf-8", "replace"), keep_blank_values=True), []

    # --- test endpoints -------------------------------------------------

    def test_endpoint(self, method, url, body):
        self.new_session = False
        if url.path == "/__test__/requests":
            with self.site.lock:
                data = json.dumps(self.site.records)
            return self.reply(200, data, "application/json")
        if url.path == "/__test__/reset" and method == "POST":
            with self.site.lock:
                self.site.records.clear()
            return self.reply(200, "{}", "application/json")
        if url.path == "/__test__/config" and method == "POST":
            with self.site.lock:
                self.site.config.update(json.loads(body.decode("utf-8") or "{}"))
            return self.reply(200, "{}", "application/json")
        if url.path == "/__test__/quit":
            self.reply(200, "{}", "application/json")
            threading.Thread(target=self.server.shutdown, daemon=True).start()
            return
        self.reply(404, "{}", "application/json")

    # --- pages ----------------------------------------------------------

    def require_login(self):
        if self.sess.user is None:
            self.redirect(self.wwwroot() + "/login/index.php")
            return False
        return True

    def front(self, method, url, body):
        who = ("<p class=\"usertext\">You are logged in as %s</p>" % html.escape(self.sess.user)
               if self.sess.user else '<p>You are not logged in. (<a href="/login/index.php">Log in</a>)</p>')
        links = ('<p><a id="courselink" href="/course/edit.php?id=2">Course One</a></p>'
                 '<p><a id="newwin" href="/my/" target="_blank">Dashboard in a new window</a></p>'
                 '<p><a id="publicfile" href="/pluginfile.php/%d/course/summary/0/Site%%20rules.txt?forcedownload=1">'
                 'Site rules</a></p>' % SYSTEM_CONTEXT_ID)
        self.reply(200, page("Moodle Test Site", who + links, self.sess, self.wwwroot()))

    def login(self, method, url, body):
        if method != "POST":
            return self.reply(200, login_page(self.site, self.sess, self.wwwroot()))
        fields, _ = self.form_fields(body)
        values = dict(fields)
        ok = values.get("username") == self.site.user and values.get("password") == self.site.password
        if self.site.config["login"] == "token" and values.get("logintoken") != self.sess.logintoken:
            ok = False
        if not ok:
            return self.reply(200, login_page(self.site, self.sess, self.wwwroot(), "Invalid login, please try again"))
        with self.site.lock:
            self.sess.user = values["username"]
            self.sess.logintoken = secrets.token_hex(16)
        self.redirect(self.wwwroot() + "/my/")

    def dashboard(self, method, url, body):
        if not self.require_login():
            return
        self.reply(200, page("Dashboard", '<h2>Dashboard</h2><p class="usertext">%s</p>'
                             '<p><a id="courselink" href="/course/edit.php?id=2">Course One</a></p>'
                             '<p><a id="resourcelink" href="/pluginfile.php/%d/mod_resource/content/1/'
                             'Lesson%%20plan.txt?forcedownload=1">Lesson plan</a></p>'
                             % (html.escape(self.sess.user), COURSE_CONTEXT_ID), self.sess, self.wwwroot()))

    def course_edit(self, method, url, body):
        if not self.require_login():
            return
        if method == "POST":
            fields, _ = self.form_fields(body)
            if dict(fields).get("sesskey") != self.sess.sesskey:
                return self.reply(200, page("Error", "<p>Invalid sesskey</p>", self.sess, self.wwwroot()))
            return self.reply(200, page("Course One", '<p id="saved">Changes saved</p>', self.sess, self.wwwroot()))
        builder = EDITOR_PAGES.get(self.site.config["editor"], legacy_editor_page)
        self.reply(200, builder(self.site, self.sess, self.wwwroot()))

    def repository_ajax(self, method, url, body):
        delay = self.site.config["upload_delay"]
        if delay:
            time.sleep(delay)
        query = dict(urllib.parse.parse_qsl(url.query))
        answer = self.upload_answer(method, query, body)
        self.reply(200, answer, "application/json; charset=utf-8")

    def upload_answer(self, method, query, body):
        with self.site.lock:
            if self.site.config["upload_answers"]:
                return self.site.config["upload_answers"].pop(0)
        if self.sess.user is None:
            return php_json({"error": "Course or activity not accessible. (You are not logged in)",
                             "errorcode": "requireloginerror"})
        if method != "POST" or query.get("action") != "upload":
            return php_json({"error": "Invalid action"})
        fields, files = self.form_fields(body)
        values = dict(fields)
        if values.get("sesskey") != self.sess.sesskey:
            return php_json({"error": "Invalid sesskey", "errorcode": "invalidsesskey"})
        repo = next((r for r in self.site.config["repositories"] if str(r["id"]) == values.get("repo_id")), None)
        if repo is None or repo["type"] != "upload":
            return php_json({"error": "Invalid repository id"})
        try:
            itemid = int(values.get("itemid", ""))
        except ValueError:
            return php_json({"error": "Invalid draft item id"})
        with self.site.lock:
            area = self.sess.drafts.get(itemid)
        if area is None:
            return php_json({"error": "Invalid draft item id"})
        upload = next((f for f in files if f[0] == "repo_upload_file"), None)
        if upload is None or not upload[1]:
            return php_json({"error": "No files attached"})
        _, clientname, _, data = upload
        if not data:
            return php_json({"error": "File is empty"})
        maxbytes = int(values.get("maxbytes") or -1)
        if 0 < maxbytes < len(data):
            return php_json({"error": "The file %s is too large." % clientname})
        clientname = clientname.replace("\\", "/").rsplit("/", 1)[-1]
        name = values.get("title") or clientname
        ext = os.path.splitext(clientname)[1]
        if not os.path.splitext(name)[1] and ext:
            name += ext
        wanted = name
        with self.site.lock:
            exists = name in area
            n = 1
            while name in area:
                base, e = os.path.splitext(wanted)
                name = "%s (%d)%s" % (base, n, e)
                n += 1
            area[name] = data
        def draft_url(fname):
            return "%s/draftfile.php/%d/user/draft/%d/%s" % (
                self.wwwroot(), USER_CONTEXT_ID, itemid, urllib.parse.quote(fname))
        if exists:
            return php_json({"event": "fileexists",
                             "newfile": {"filepath": "/", "filename": name, "url": draft_url(name)},
                             "existingfile": {"filepath": "/", "filename": wanted, "url": draft_url(wanted)}})
        return php_json({"url": draft_url(name), "id": itemid, "file": name})

    def draftfile(self, method, url, body):
        parts = urllib.parse.unquote(url.path).split("/")
        # /draftfile.php/<ctx>/user/draft/<itemid>/<filename>
        if len(parts) < 7 or self.sess.user is None:
            return self.reply(404, "Not found", "text/plain")
        try:
            itemid = int(parts[5])
        except ValueError:
            return self.reply(404, "Not found", "text/plain")
        with self.site.lock:
            data = self.sess.drafts.get(itemid, {}).get("/".join(parts[6:]))
        if data is None:
            return self.reply(404, "Not found", "text/plain")
        ctype = mimetypes.guess_type(parts[-1])[0] or "application/octet-stream"
        self.reply(200, data, ctype)

    def site_file(self, spec):
        if not self.require_login():
            return
        if "base64" in spec:
            data = base64.b64decode(spec["base64"])
        else:
            data = spec.get("text", "").encode("utf-8")
        headers = [("Location", spec["location"])] if spec.get("location") else []
        self.reply(int(spec.get("status", 200)), data, spec.get("type", "application/octet-stream"), headers)

    def grade_report(self, method, url, body):
        if not self.require_login():
            return
        self.reply(200, page("Course One: User report", '<h2>User report - %s</h2><table class="user-grade">'
                             '<tr><td>Assignment 1</td><td class="grade">87.50</td></tr></table>'
                             % html.escape(self.sess.user), self.sess, self.wwwroot()))


    def pluginfile(self, method, url, body):
        # /pluginfile.php/<contextid>/<component>/<filearea>/<itemid>/<filename>
        parts = urllib.parse.unquote(url.path).split("/")
        if len(parts) < 7:
            return self.reply(404, page("Error", "<p>File not found</p>", self.sess, self.wwwroot()))
        try:
            ctx = int(parts[2])
        except ValueError:
            return self.reply(404, page("Error", "<p>File not found</p>", self.sess, self.wwwroot()))
        # The front page's files are public; a course's need the session.
        if ctx != SYSTEM_CONTEXT_ID and not self.require_login():
            return
        query = dict(urllib.parse.parse_qsl(url.query))
        name = parts[-1]
        data = course_file(name, int(query.get("size") or 0))
        disposition = "attachment" if query.get("forcedownload") == "1" else "inline"
        self.send_response(200)
        if self.new_session:
            self.send_header("Set-Cookie", "MoodleSession=%s; path=/; HttpOnly" % self.sess.sid)
        self.send_header("Content-Type", "text/plain; charset=utf-8")
        self.send_header("Content-Length", str(len(data)))
        self.send_header("Content-Disposition", "%s; filename=\"%s\"; filename*=UTF-8''%s"
                         % (disposition, name.encode("ascii", "replace").decode("ascii").replace('"', ""),
                            urllib.parse.quote(name)))
        self.end_headers()
        if self.command == "HEAD":
            return
        # broken=1: the connection ends half way, as when a server fails.
        end = len(data) // 2 if query.get("broken") == "1" else len(data)
        delay = self.site.config["download_delay"]
        for at in range(0, end, 65536):
            self.wfile.write(data[at:min(end, at + 65536)])
            self.wfile.flush()
            if delay:
                time.sleep(delay)
        if end < len(data):
            self.close_connection = True


def course_file(name, size):
    """The bytes of a course file: its name, repeated up to size bytes."""
    line = ("%s\n" % name).encode("utf-8")
    size = size or 2000
    return (line * (size // len(line) + 1))[:size]


ROUTES = {
    "/": Handler.front,
    "/index.php": Handler.front,
    "/login/": Handler.login,
    "/login/index.php": Handler.login,
    "/my/": Handler.dashboard,
    "/course/edit.php": Handler.course_edit,
    "/repository/repository_ajax.php": Handler.repository_ajax,
    "/grade/report/user/index.php": Handler.grade_report,
}


class Server(ThreadingHTTPServer):
    daemon_threads = True

    def handle_error(self, request, client_address):
        # A browser that drops a connection it no longer needs is normal.
        if isinstance(sys.exc_info()[1], (BrokenPipeError, ConnectionResetError)):
            return
        super().handle_error(request, client_address)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--port", type=int, default=0)
    ap.add_argument("--record", default="")
    ap.add_argument("--editor", default="legacy", choices=sorted(EDITOR_PAGES))
    ap.add_argument("--login", default="plain", choices=["plain", "token"])
    ap.add_argument("--user", default="teacher")
    ap.add_argument("--password", default="Secret-1")
    ap.add_argument("--watch-stdin", action="store_true", help="stop when standard input closes")
    args = ap.parse_args()

    server = Server(("127.0.0.1", args.port), Handler)
    server.site = Site(args)
    signal.signal(signal.SIGTERM, lambda *_: threading.Thread(target=server.shutdown, daemon=True).start())

    def watch_stdin():
        # The test that started the site closes its end when it stops.
        try:
            while sys.stdin.buffer.read(1):
                pass
        except Exception:
            pass
        server.shutdown()
    if args.watch_stdin:
        threading.Thread(target=watch_stdin, daemon=True).start()

    print("PORT %d" % server.server_port, flush=True)
    server.serve_forever(poll_interval=0.05)
    server.server_close()


if __name__ == "__main__":
    main()
