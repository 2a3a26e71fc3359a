// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
/* Whether a view's page answers ("responsive") and the end of its web
   process ("crashed"). */

#include "hostview.h"

/* Asks every view's page, once a second, from now on. */
void probe_start(void);
void probe_attach(HostView *v);
