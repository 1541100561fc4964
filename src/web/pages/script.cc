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
