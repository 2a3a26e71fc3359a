// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
/* The page's own bytes and the page as one file, for the frame: its source
   (which the frame shows) and "save page" (MHTML). */

#include "hostview.h"

/* "source <path>": writes the bytes of the page's main resource as they
   came to path (a file in a folder of the frame's) and answers
   "sourceready <path> <ok 0|1> <encoding the page is read in> <uri>". */
void source_request(HostView *v, const char *const *fields, guint count);

/* "savepageas <path>": saves the page with what it shows as MHTML at path
   and answers "pagesaved <path> <ok 0|1>"; an empty path saves nothing. */
void source_save_page(HostView *v, const char *const *fields, guint count);
