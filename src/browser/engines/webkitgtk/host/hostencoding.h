// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
/* Japanese pages that declare no encoding. */

#include "hostview.h"

/* At the end of a load: when the page declares no encoding and WebKit read
   it in a Japanese default, tells Shift_JIS, EUC-JP and ISO-2022-JP apart
   (WebKit does not) and reads it again in the one it is written in. TRUE
   when it does so, or is still looking: "loaded" is then its to send. */
gboolean encoding_check_loaded(HostView *v);
