// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
/* What a view reports of the document it shows. */

#include <webkit2/webkit2.h>

/* The view's title: the document's own; for a document that is no page (a
   PDF, a text file, an image) and names none, the last part of its address,
   as the window and the history should call it. A new string. */
char *document_title(WebKitWebView *web);
