// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
/* The script both engines run in a page of a linked pair, in a world of its
   own that the page's scripts cannot reach. It keeps window.__vexelLink:
   state() tells where the page is scrolled ([anchor, within, fraction], or
   null for the scroll scrollTo itself caused), scrollTo(anchor, within,
   fraction) goes to such a place. The anchor is the element at the top of
   the page: its nearest element with an id ("#id"), else its path of child
   indexes from the root element ("/1/0/3"). Plain C text: the engine host is
   C. */

#define VEXEL_SCROLL_WORLD "vexel-link"

#define VEXEL_SCROLL_SCRIPT                                                                        \
    "(function () {\n"                                                                             \
    "if (window.__vexelLink) return;\n"                                                            \
    "const link = window.__vexelLink = { echo: false };\n"                                         \
    "const root = () => document.documentElement;\n"                                               \
    "const most = () => Math.max(0, root().scrollHeight - window.innerHeight);\n"                  \
    "function anchorOf(el) {\n"                                                                    \
    "  for (let e = el; e && e !== root(); e = e.parentElement)\n"                                 \
    "    if (e.id && document.getElementById(e.id) === e) return [e, '#' + e.id];\n"               \
    "  const path = [];\n"                                                                         \
    "  for (let e = el; e && e !== root() && e.parentElement; e = e.parentElement)\n"              \
    "    path.unshift(Array.prototype.indexOf.call(e.parentElement.children, e));\n"               \
    "  return [el, '/' + path.join('/')];\n"                                                       \
    "}\n"                                                                                          \
    "link.state = function () {\n"                                                                 \
    "  if (link.echo) { link.echo = false; return null; }\n"                                       \
    "  const fraction = most() > 0 ? Math.min(1, window.scrollY / most()) : 0;\n"                  \
    "  const el = document.elementFromPoint(window.innerWidth / 2, 1);\n"                          \
    "  if (!el || !root()) return ['', 0, fraction];\n"                                           \
    "  const [e, anchor] = anchorOf(el);\n"                                                        \
    "  const box = e.getBoundingClientRect();\n"                                                   \
    "  const within = box.height > 0 ? Math.min(1, Math.max(0, -box.top / box.height)) : 0;\n"    \
    "  return [anchor, within, fraction];\n"                                                       \
    "};\n"                                                                                         \
    "link.scrollTo = function (anchor, within, fraction) {\n"                                      \
    "  let el = null;\n"                                                                           \
    "  if (anchor.startsWith('#')) el = document.getElementById(anchor.slice(1));\n"               \
    "  else if (anchor.startsWith('/')) {\n"                                                       \
    "    el = root();\n"                                                                           \
    "    for (const i of anchor.slice(1).split('/').filter(s => s !== ''))\n"                      \
    "      el = el ? el.children[Number(i)] || null : null;\n"                                     \
    "  }\n"                                                                                        \
    "  const box = el && el !== root() ? el.getBoundingClientRect() : null;\n"                     \
    "  let y = box ? box.top + window.scrollY + within * box.height : fraction * most();\n"        \
    "  y = Math.round(Math.min(Math.max(0, y), most()));\n"                                        \
    "  const before = window.scrollY;\n"                                                           \
    "  window.scrollTo({ left: window.scrollX, top: y, behavior: 'instant' });\n"                  \
    "  if (window.scrollY !== before) link.echo = true;\n"                                         \
    "  return window.scrollY;\n"                                                                   \
    "};\n"                                                                                         \
    "})();\n"
