// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
/* Printing: the page laid out for print into a PDF file for the frame,
   and the page's own requests to print, which the frame answers. */

#include "hostview.h"

/* "printpdf <path>": writes the page to path as PDF, without a dialog;
   "printed <path> <ok>" follows. */
void print_to_pdf(HostView *v, const char *const *fields, guint count);
/* The view's "print" signal (window.print()): the frame prints. */
gboolean print_requested(WebKitWebView *web, WebKitPrintOperation *operation, HostView *v);
