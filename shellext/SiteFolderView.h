// The two ways from a handler's site to the shell's folder view object, each
// tried as an option: a site need not offer either service.
#pragma once

#include "platform/ScopedComPtr.h"
#include "platform/WinApi.h"

namespace quorvel {

// The site's service SID_SFolderView as IFolderView; empty when there is no
// site or it offers none.
CScopedComPtr<IFolderView> FolderViewOfViewService(IUnknown* site);

// The site's top-level browser (SID_STopLevelBrowser), its active shell view,
// and that view's IFolderView; empty when any step fails.
CScopedComPtr<IFolderView> FolderViewOfTopLevelBrowser(IUnknown* site);

}  // namespace quorvel
