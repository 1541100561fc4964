// The stylesheet. The engine's pages are written in the markup of their day
// (font tags, nested blockquotes as indents, layout tables, bgcolor
// attributes); they are styled here through that markup, never changed. Each
// rule names the engine's markup it is for. Author rules outrank the old
// presentational attributes, so bgcolor, font size and border attributes
// yield to these rules without !important.

#include "web/pages/assets.h"

namespace kirvs::web {

namespace {

constexpr char kStylesheet[] = R"css(
:root {
  --kv-bg: #f4f6f8;
  --kv-card: #ffffff;
  --kv-text: #1f2933;
  --kv-muted: #5f6b7a;
  --kv-border: #e3e8ee;
  --kv-field: #c9d2dc;
  --kv-accent: #0f766e;
  --kv-accent-dark: #115e59;
  --kv-accent-soft: #e3f2ef;
  --kv-head: #f1f4f7;
  --kv-danger: #b42318;
  --kv-danger-soft: #fef3f2;
  --kv-info-soft: #eef6ff;
  --kv-radius: 8px;
  color-scheme: light;
}

* { box-sizing: border-box; }

html { -webkit-text-size-adjust: 100%; }

body {
  margin: 0;
  background: var(--kv-bg);
  color: var(--kv-text);
  font: 15px/1.5 system-ui, -apple-system, "Segoe UI", Roboto, "Noto Sans",
        "Liberation Sans", Arial, sans-serif;
}

/* The bar above every page: the help desk and who is signed in. */
.kv-top {
  display: flex;
  align-items: center;
  justify-content: space-between;
  gap: 12px;
  padding: 10px 24px;
  background: var(--kv-card);
  border-bottom: 1px solid var(--kv-border);
  font-size: 0.875rem;
  color: var(--kv-muted);
}
.kv-top .kv-brand { font-weight: 600; color: var(--kv-accent-dark); }
.kv-top .kv-user { color: var(--kv-text); }
.kv-top { flex-wrap: wrap; }
.kv-nav { display: flex; flex-wrap: wrap; gap: 4px 14px; flex: 1; }
.kv-nav a, .kv-signout button {
  color: var(--kv-accent-dark); text-decoration: none; font: inherit;
}
.kv-nav a:hover, .kv-signout button:hover { text-decoration: underline; }
.kv-signout { display: inline; margin: 0 0 0 10px; }
.kv-signout button {
  background: none; border: 0; padding: 0; cursor: pointer;
}
a.kv-sort { color: inherit; }
a.kv-sorted-asc::after { content: " \25B2"; }
a.kv-sorted-desc::after { content: " \25BC"; }
/* The age of a date in a list, under it. */
.kv-age { display: block; color: var(--kv-muted); font-size: 0.8125rem; }
.kv-find { margin: 0; }
.kv-find input { width: 12rem; max-width: 100%; padding: 4px 8px; }
.kv-queues { display: flex; flex-wrap: wrap; gap: 4px 16px; margin: 8px 0; }

main {
  max-width: 1180px;
  margin: 24px auto;
  padding: 24px 32px 28px;
  background: var(--kv-card);
  border: 1px solid var(--kv-border);
  border-radius: 12px;
  box-shadow: 0 1px 2px rgba(16, 24, 40, 0.04);
}
/* The login page is a small card of its own. */
main:has(input[name="txtPassword" i]) { max-width: 560px; }

/* Font tags: the type comes from the page, not from size and face. */
font { font-family: inherit; font-size: inherit; color: inherit; }
font[size="1"] { font-size: 0.8125rem; color: var(--kv-muted); }
i { font-style: normal; }

/* Nested blockquotes were the indent; the card gives the margin now. */
blockquote { margin: 0; padding: 0; }

hr {
  border: 0;
  border-top: 1px solid var(--kv-border);
  height: 0;
  margin: 20px 0 0;
  color: var(--kv-border);
}

/* The page banner: logo and title, the page's heading. */
.kv-banner {
  display: flex;
  align-items: center;
  gap: 16px;
  margin: 0 0 20px;
}
img[src$="kvlogo.gif"] { width: 64px; height: auto; flex: none; }
.kv-banner h1, h1.kv-title {
  margin: 0;
  font-size: 1.5rem;
  line-height: 1.25;
  letter-spacing: -0.01em;
  font-weight: 650;
}
h1.kv-title { margin: 0 0 20px; }

/* Buttons: every command is a submit input named KIRVSCommand. */
input[type="submit"] {
  display: inline-block;
  margin: 0 6px 8px 0;
  padding: 7px 14px;
  border: 1px solid var(--kv-field);
  border-radius: var(--kv-radius);
  background: var(--kv-card);
  color: var(--kv-text);
  font: inherit;
  font-size: 0.9rem;
  font-weight: 500;
  line-height: 1.3;
  cursor: pointer;
  transition: background-color 0.12s, border-color 0.12s;
}
input[type="submit"]:hover { background: var(--kv-head); border-color: #aab6c3; }
input[type="submit"][value="Login"],
input[type="submit"][value^="Save "],
input[type="submit"][value$=" Now"] {
  background: var(--kv-accent);
  border-color: var(--kv-accent);
  color: #ffffff;
}
input[type="submit"][value="Login"]:hover,
input[type="submit"][value^="Save "]:hover,
input[type="submit"][value$=" Now"]:hover {
  background: var(--kv-accent-dark);
  border-color: var(--kv-accent-dark);
}
input[type="submit"][value="Logout"] {
  border-color: transparent;
  background: transparent;
  color: var(--kv-muted);
}
input[type="submit"][value="Logout"]:hover { color: var(--kv-danger); }

/* Text inputs and selection lists. type=textarea is the engine's wide
   field; browsers draw it as a text input. */
input:not([type="submit"]):not([type="hidden"]):not([type="checkbox"]),
select {
  max-width: 100%;
  padding: 7px 10px;
  border: 1px solid var(--kv-field);
  border-radius: var(--kv-radius);
  background: var(--kv-card);
  color: var(--kv-text);
  font: inherit;
  font-size: 0.95rem;
}
input:not([type="submit"]):not([type="hidden"]):not([type="checkbox"]):focus,
select:focus {
  border-color: var(--kv-accent-dark);
  outline: 2px solid var(--kv-accent-dark);
  outline-offset: 1px;
}
input[type="checkbox"] {
  width: 18px;
  height: 18px;
  accent-color: var(--kv-accent);
}
/* Where the keyboard is, always in sight. */
:focus-visible { outline: 3px solid var(--kv-accent-dark); outline-offset: 2px; }

/* The request list's sort line. */
select[name="sortrequests"] { margin: 0 8px; }
b:has(> select[name="sortrequests"]) { font-weight: 500; }

/* Lists (requests, activities, search results, configuration): a table
   with cellpadding=2, header cells coloured with bgcolor. It scrolls
   sideways by itself on a narrow screen instead of widening the page. */
table[cellpadding="2"] {
  display: block;
  max-width: 100%;
  overflow-x: auto;
  margin: 16px 0 8px;
  border-collapse: collapse;
  font-weight: 400;
}
table[cellpadding="2"] :is(td, th) {
  padding: 9px 12px;
  border-bottom: 1px solid var(--kv-border);
  vertical-align: top;
  text-align: left;
}
table[cellpadding="2"] :is(td, th)[bgcolor] {
  background: var(--kv-head);
  color: var(--kv-muted);
  font-size: 0.75rem;
  letter-spacing: 0.04em;
  text-transform: uppercase;
  white-space: nowrap;
  border-bottom-color: var(--kv-field);
}
table[cellpadding="2"] :is(td, th)[bgcolor] b { font-weight: 600; }
/* A row and the description line under it read as one entry. */
table[cellpadding="2"] tr:has(+ tr > td[colspan]) > td { border-bottom: 0; }
table[cellpadding="2"] td[colspan] {
  padding-top: 0;
  color: var(--kv-muted);
  font-size: 0.875rem;
}
/* Row buttons carry the row's key: request number, #activity, *item. */
table[cellpadding="2"] td > :is(input, button)[type="submit"] {
  margin: 0;
  padding: 3px 10px;
  border: 0;
  border-radius: 999px;
  background: var(--kv-accent-soft);
  color: var(--kv-accent-dark);
  font-weight: 600;
  font-variant-numeric: tabular-nums;
}
table[cellpadding="2"] td > :is(input, button)[type="submit"]:hover {
  background: var(--kv-accent);
  color: #ffffff;
}

/* The record form: label and value cells, two fields to a row. */
table[frame] {
  width: 100%;
  margin: 8px 0 4px;
  padding: 8px 4px;
  border: 1px solid var(--kv-border);
  border-radius: 10px;
  border-collapse: separate;
  border-spacing: 0;
  background: transparent;
}
table[frame] td {
  padding: 7px 10px;
  border: 0;
  background: transparent;
  vertical-align: middle;
}
table[frame] td[bgcolor] {
  width: 9.5rem;
  color: var(--kv-muted);
  font-size: 0.8125rem;
  text-align: right;
  white-space: nowrap;
}
table[frame] td[bgcolor] b { font-weight: 600; }
table[frame] input:not([type="submit"]):not([type="hidden"]):not([type="checkbox"]),
table[frame] select { width: 100%; }

/* The login page and the search forms: label, field, and a hint. */
main table:not([cellpadding]):not([frame]) { display: block; width: 100%; }
main table:not([cellpadding]):not([frame]) > tbody { display: block; }
main table:not([cellpadding]):not([frame]) tr {
  display: grid;
  grid-template-columns: minmax(6rem, 9rem) minmax(0, 26rem);
  gap: 4px 16px;
  align-items: center;
  margin-bottom: 12px;
}
main table:not([cellpadding]):not([frame]) td:nth-child(3) { grid-column: 2; }
main table:not([cellpadding]):not([frame]) td { color: var(--kv-muted); }
main table:not([cellpadding]):not([frame]) input:not([type="submit"]),
main table:not([cellpadding]):not([frame]) select { width: 100%; }

/* Messages of the front: a failed command, and notices. */
.kv-alert {
  margin: 0 0 20px;
  padding: 12px 16px;
  border-radius: var(--kv-radius);
  border: 1px solid transparent;
  border-left-width: 4px;
}
.kv-alert-error {
  background: var(--kv-danger-soft);
  border-color: #f4c7c3;
  border-left-color: var(--kv-danger);
  color: #7a271a;
}
.kv-alert-info {
  background: var(--kv-info-soft);
  border-color: #cfe3fb;
  border-left-color: #2f6fb5;
  color: #1d3f66;
}
.kv-alert-title { margin: 0 0 4px; font-weight: 650; }
.kv-alert-body { margin: 0; overflow-wrap: anywhere; }
.kv-actions { margin-top: 20px; }
.kv-actions a {
  display: inline-block;
  padding: 8px 16px;
  border-radius: var(--kv-radius);
  background: var(--kv-accent);
  color: #ffffff;
  text-decoration: none;
  font-weight: 500;
}

form.kv-busy input[type="submit"] { cursor: progress; opacity: 0.75; }
/* Enter's button on pages whose first button must not run on Enter. */
.kv-default-submit {
  position: absolute; left: -10000px; width: 1px; height: 1px;
  overflow: hidden;
}
.kv-invalid { outline: 3px solid #b3261e; outline-offset: 1px; }

@media (max-width: 720px) {
  body { font-size: 15px; }
  .kv-top { padding: 8px 14px; }
  main {
    margin: 0;
    padding: 16px 14px 24px;
    border: 0;
    border-radius: 0;
  }
  img[src$="kvlogo.gif"] { width: 44px; }
  .kv-banner { gap: 12px; margin-bottom: 14px; }
  .kv-banner h1, h1.kv-title { font-size: 1.2rem; }
  table[frame], table[frame] > tbody, table[frame] tr, table[frame] td {
    display: block;
    width: auto;
  }
  table[frame] { padding: 4px 0; }
  table[frame] td[bgcolor] { padding-bottom: 0; text-align: left; }
  main table:not([cellpadding]):not([frame]) tr { grid-template-columns: minmax(0, 1fr); }
  main table:not([cellpadding]):not([frame]) td:nth-child(3) { grid-column: 1; }
  main table:not([cellpadding]):not([frame]) td:empty { display: none; }
  select[name="sortrequests"] { margin: 6px 0; display: block; }
  /* A list becomes cards: its description first, then each cell under
     its column's caption; the headers stay as a line of sort links. */
  table[cellpadding="2"], table[cellpadding="2"] > thead { display: block; }
  table[cellpadding="2"] > thead > tr {
    display: flex; flex-wrap: wrap; gap: 6px; margin-bottom: 10px;
  }
  table[cellpadding="2"] > thead th[bgcolor] {
    padding: 4px 10px; border: 1px solid var(--kv-border);
    border-radius: 999px;
  }
  table[cellpadding="2"] > tbody.kv-entry {
    display: flex;
    flex-direction: column;
    margin: 0 0 12px;
    padding: 12px 14px;
    border: 1px solid var(--kv-border);
    border-radius: 10px;
  }
  tbody.kv-entry > tr { display: flex; flex-wrap: wrap; gap: 8px 18px; }
  tbody.kv-entry > tr.kv-description { order: -1; margin-bottom: 8px; }
  tbody.kv-entry > tr.kv-description > td:first-child { display: none; }
  table[cellpadding="2"] tbody.kv-entry td {
    padding: 0; border: 0; min-width: 0;
  }
  table[cellpadding="2"] tbody.kv-entry > tr.kv-description > td[colspan] {
    color: var(--kv-text); font-size: 1rem; font-weight: 600;
  }
  tbody.kv-entry td[data-label]::before {
    content: attr(data-label);
    display: block;
    color: var(--kv-muted);
    font-size: 0.75rem;
  }
}
)css";

}  // namespace

std::string_view Stylesheet() { return kStylesheet; }

}  // namespace kirvs::web
