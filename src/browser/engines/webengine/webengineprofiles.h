// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The pages' profiles (webengineprofiles.cpp): a control says when its
// private page comes and goes, so the private profile lives exactly as long
// as one does.

namespace webengineprofiles {

void privatePageOpened();
// The last private page to close takes the private profile with it.
void privatePageClosed();

}  // namespace webengineprofiles
