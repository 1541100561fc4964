"""A browser-like client of the web front, for scripts/robustness.py.

It reads the forms of each page it gets, posts every field back with its
current value (hidden ones too: the CSRF token and any form id the front
adds), changes only what the caller names, and sends the clicked button as
KIRVSCommand=<caption>. Redirects (301/302/303) are followed with a GET; a
page answered directly to the post is taken as it is. Cookies are kept as a
browser keeps them. Only loopback addresses are accepted.
"""

import html.parser
import http.client
import re
import urllib.parse

COMMAND = "KIRVSCommand"
ERROR_BOX = 'class="kv-alert kv-alert-error"'
ERROR_BODY = re.compile(
    r'<div class="kv-alert-body">(.*?)</div></div>', re.S)


class Form:
    """One <form> of a page: its action, its fields in document order, and
    the captions of its submit buttons."""

    def __init__(self, action, method):
        self.action = action
        self.method = method
        self.fields = []   # [name, value]
        self.buttons = []  # captions posted under KIRVSCommand

    def get(self, name):
        for field in self.fields:
            if field[0].lower() == name.lower():
                return field[1]
        return None

    def names(self):
        return [f[0] for f in self.fields]


class FormParser(html.parser.HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.forms = []
        self.select = None     # [name, first value, chosen value]
        self.option = None     # [value or None, text, selected]
        self.textarea = None   # [name, text]

    def current(self):
        if not self.forms:  # fields outside any form: a form of their own
            self.forms.append(Form("", "get"))
        return self.forms[-1]

    def handle_starttag(self, tag, attrs):
        a = {k.lower(): (v if v is not None else "") for k, v in attrs}
        if tag == "form":
            self.forms.append(Form(a.get("action", ""),
                                   a.get("method", "get").lower()))
        elif tag == "input":
            self.input(a)
        elif tag == "button":
            kind = a.get("type", "submit").lower()
            if kind == "submit" and a.get("name") == COMMAND:
                self.current().buttons.append(a.get("value", ""))
        elif tag == "select" and "name" in a and "disabled" not in a:
            self.select = [a["name"], None, None]
        elif tag == "option" and self.select is not None:
            self.close_option()
            self.option = [a.get("value"), "", "selected" in a]
        elif tag == "textarea" and "name" in a and "disabled" not in a:
            self.textarea = [a["name"], ""]

    def input(self, a):
        kind = a.get("type", "text").lower()
        name = a.get("name")
        if name is None or "disabled" in a:
            return
        if kind in ("submit", "image", "button", "reset"):
            if name == COMMAND and kind in ("submit", "image"):
                self.current().buttons.append(a.get("value", ""))
            return
        if kind in ("checkbox", "radio"):
            if "checked" in a:
                self.current().fields.append([name, a.get("value", "on")])
            return
        if kind == "file":
            return
        self.current().fields.append([name, a.get("value", "")])

    def close_option(self):
        if self.option is None:
            return
        value, text, selected = self.option
        value = text.strip() if value is None else value
        if self.select[1] is None:
            self.select[1] = value
        if selected:
            self.select[2] = value
        self.option = None

    def handle_data(self, data):
        if self.option is not None:
            self.option[1] += data
        elif self.textarea is not None:
            self.textarea[1] += data

    def handle_endtag(self, tag):
        if tag == "option":
            self.close_option()
        elif tag == "select" and self.select is not None:
            self.close_option()
            name, first, chosen = self.select
            value = chosen if chosen is not None else first
            if value is not None:
                self.current().fields.append([name, value])
            self.select = None
        elif tag == "textarea" and self.textarea is not None:
            text = self.textarea[1]
            if text.startswith("\n"):  # as a browser drops it
                text = text[1:]
            self.current().fields.append([self.textarea[0], text])
            self.textarea = None


class Page:
    def __init__(self, status, url, body):
        self.status = status
        self.url = url
        self.body = body
        parser = FormParser()
        parser.feed(body)
        parser.close()
        self.forms = parser.forms

    def error(self):
        """The text of the page's error box, or None when it has none."""
        if ERROR_BOX not in self.body:
            return None
        match = ERROR_BODY.search(self.body)
        text = match.group(1) if match else "(error box)"
        return re.sub(r"<[^>]+>", " ", text).strip()

    def form_with(self, caption):
        for form in self.forms:
            if caption in form.buttons:
                return form
        return None

    def buttons(self):
        return [b for form in self.forms for b in form.buttons]


class TransportError(Exception):
    """No answer: the server closed the connection or is gone."""


class Browser:
    def __init__(self, base, timeout=60.0, keep_alive=False):
        parts = urllib.parse.urlsplit(base)
        if parts.hostname not in ("127.0.0.1", "localhost", "::1"):
            raise ValueError(f"not a loopback address: {base}")
        self.base = base
        self.timeout = timeout
        self.keep_alive = keep_alive
        self.connection = None  # kept open between requests when keep_alive
        self.cookies = {}
        self.page = None
        self.requests = 0

    def _send(self, method, url, body=None):
        parts = urllib.parse.urlsplit(url)
        if parts.hostname not in ("127.0.0.1", "localhost", "::1"):
            raise ValueError(f"refusing to leave loopback: {url}")
        path = parts.path or "/"
        if parts.query:
            path += "?" + parts.query
        headers = {"Accept": "text/html"}
        if not self.keep_alive:
            headers["Connection"] = "close"
        if self.cookies:
            headers["Cookie"] = "; ".join(
                f"{k}={v}" for k, v in self.cookies.items())
        if body is not None:
            headers["Content-Type"] = "application/x-www-form-urlencoded"
        if self.connection is None:
            self.connection = http.client.HTTPConnection(
                parts.hostname, parts.port, timeout=self.timeout)
        # A request is never sent twice: a post that got no answer may have
        # been carried out, and the check must see it as unreported.
        try:
            self.connection.request(method, path, body=body, headers=headers)
            response = self.connection.getresponse()
            data = response.read()
        except (OSError, http.client.HTTPException) as error:
            self.close()
            raise TransportError(f"{method} {path}: {error!r}") from error
        if not self.keep_alive or response.will_close:
            self.close()
        self.requests += 1
        for header in response.headers.get_all("Set-Cookie") or []:
            self._keep_cookie(header)
        return response.status, response.getheader("Location"), data

    def move_to(self, base):
        """Goes on at another server of the same desk (another port of
        loopback) with the cookies and the current page: the next click
        posts that page's form to `base`."""
        parts = urllib.parse.urlsplit(base)
        if parts.hostname not in ("127.0.0.1", "localhost", "::1"):
            raise ValueError(f"not a loopback address: {base}")
        self.close()
        self.base = base
        if self.page is not None:
            self.page.url = urllib.parse.urlunsplit(
                urllib.parse.urlsplit(self.page.url)._replace(
                    netloc=parts.netloc))

    def close(self):
        if self.connection is not None:
            self.connection.close()
            self.connection = None

    def _keep_cookie(self, header):
        first, *attributes = header.split(";")
        name, _, value = first.strip().partition("=")
        expired = any(
            re.fullmatch(r"\s*max-age\s*=\s*0*\s*", a, re.I) or
            re.match(r"\s*expires\s*=.*19[0-9][0-9]", a, re.I)
            for a in attributes)
        if expired or not value:
            self.cookies.pop(name, None)
        else:
            self.cookies[name] = value

    def _follow(self, method, url, body=None):
        for _ in range(10):
            status, location, data = self._send(method, url, body)
            if status in (301, 302, 303, 307, 308) and location:
                url = urllib.parse.urljoin(url, location)
                if status in (301, 302, 303):
                    method, body = "GET", None
                continue
            self.page = Page(status, url, data.decode("utf-8", "replace"))
            return self.page
        raise TransportError(f"too many redirects from {url}")

    def get(self, path="/"):
        return self._follow("GET", urllib.parse.urljoin(self.base, path))

    def click(self, caption, changes=None):
        """Clicks the button `caption` of the current page, with the fields
        named in `changes` set to the given values (added when the form has
        no such field). Returns the page that follows."""
        form = self.page.form_with(caption) if self.page else None
        if form is None:
            raise LookupError(
                f"no button {caption!r} on {self.page.url if self.page else '-'}"
                f" (buttons: {self.page.buttons() if self.page else []})")
        fields = [list(f) for f in form.fields]
        for name, value in (changes or {}).items():
            for field in fields:
                if field[0].lower() == name.lower():
                    field[1] = value
                    break
            else:
                fields.append([name, value])
        fields.append([COMMAND, caption])
        body = urllib.parse.urlencode([tuple(f) for f in fields])
        url = urllib.parse.urljoin(self.page.url, form.action or "")
        if form.method != "post":
            return self._follow("GET", url.split("?")[0] + "?" + body)
        return self._follow("POST", url, body)
