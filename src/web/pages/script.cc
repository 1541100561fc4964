// The page script, and the version that names the stylesheet and script.
// The pages work without the script; it only spares the user a double
// command and retyping after a failed one.

#include <cstdint>
#include <cstdio>

#include "web/pages/assets.h"

namespace kirvs::web {

namespace {

constexpr char kScript[] = R"js('use strict';
(function () {
  var form = document.querySelector('form.kv-form');
  if (!form) return;

  // One click runs one command: a second submit while the first is on its
  // way would save twice or register the same request twice.
  form.addEventListener('submit', function (event) {
    if (form.dataset.busy) {
      event.preventDefault();
      return;
    }
    form.dataset.busy = '1';
    form.classList.add('kv-busy');
  });
  window.addEventListener('pageshow', function () {
    delete form.dataset.busy;
    form.classList.remove('kv-busy');
  });

  // After a failed command the page the user posted from comes back with
  // what he had entered, so that he can correct it and retry.
  var posted = document.getElementById('kv-posted');
  if (posted) {
    var values = {};
    JSON.parse(posted.textContent).forEach(function (field) {
      (values[field[0]] = values[field[0]] || []).push(field[1]);
    });
    var used = {};
    Array.prototype.forEach.call(form.elements, function (element) {
      var name = element.name;
      if (!name || element.type === 'hidden' || element.type === 'submit') {
        return;
      }
      if (element.type === 'checkbox') {
        element.checked = Object.prototype.hasOwnProperty.call(values, name);
        return;
      }
      var list = values[name];
      if (!list) return;
      var index = used[name] || 0;
      if (index >= list.length) return;
      used[name] = index + 1;
      if (element.tagName === 'SELECT') {
        var known = Array.prototype.some.call(element.options, function (o) {
          return o.value === list[index];
        });
        if (known) element.value = list[index];
      } else {
        element.value = list[index];
      }
    });
  }

  // Closing takes the request off the list: its button comes after the
  // others, and asks first.
  var closeNow = form.querySelector('input[type="submit"][value="Close Now"]');
  if (closeNow) {
    var last = closeNow;
    for (var next = closeNow.nextElementSibling;
         next && next.matches('input[type="submit"]');
         next = next.nextElementSibling) {
      last = next;
    }
    last.after(closeNow);
    closeNow.addEventListener('click', function (event) {
      var number = form.querySelector('input[name="requestno" i]');
      var text = 'Close request ' + (number ? number.value : '') +
          '? It leaves the list.';
      if (!window.confirm(text)) event.preventDefault();
    });
  }

  // The fields an error is about are marked, and the cursor waits in the
  // first of them.
  var invalid = document.getElementById('kv-invalid');
  var firstInvalid = null;
  if (invalid) {
    var names = JSON.parse(invalid.textContent).map(function (name) {
      return name.toLowerCase();
    });
    Array.prototype.forEach.call(form.elements, function (element) {
      if (!element.name || element.type === 'hidden' ||
          names.indexOf(element.name.toLowerCase()) < 0) {
        return;
      }
      element.setAttribute('aria-invalid', 'true');
      element.setAttribute('aria-describedby', 'kv-error');
      element.classList.add('kv-invalid');
      if (!firstInvalid) firstInvalid = element;
    });
  }
  if (firstInvalid) {
    firstInvalid.focus();
    return;
  }

  // On the login page the cursor waits where typing starts.
  var user = form.querySelector('input[name="txtUserID" i]');
  var password = form.querySelector('input[name="txtPassword" i]');
  if (user && !user.value) {
    user.focus();
  } else if (password) {
    password.focus();
  }
})();
)js";

std::string Fingerprint(std::string_view text, uint64_t hash) {
  for (unsigned char c : text) {  // FNV-1a
    hash ^= c;
    hash *= 0x100000001b3ULL;
  }
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx",
                static_cast<unsigned long long>(hash));
  return std::string(hex, 12);
}

}  // namespace

std::string_view Script() { return kScript; }

const std::string& AssetVersion() {
  static const std::string version = [] {
    std::string css = Fingerprint(Stylesheet(), 0xcbf29ce484222325ULL);
    return Fingerprint(Script(), std::stoull(css, nullptr, 16));
  }();
  return version;
}

}  // namespace kirvs::web
