// The library's module: where its resources come from.
#include "platform/qemcom95.h"
#include "platform/qem_internal.h"
#include "platform/qemcom95_resources.h"

// The resource script can only see macros; they must say what the public header says.
static_assert(QEM_RC_MENU_VERSION_PANE == QEM_IDM_VERSION_PANE &&
              QEM_RC_MENU_VERSION_LIST == QEM_IDM_VERSION_LIST &&
              QEM_RC_CMD_CLOSE_VERSION == QEM_IDM_CLOSE_VERSION &&
              QEM_RC_CMD_SHOW_VERSION == QEM_IDM_SHOW_VERSION &&
              QEM_RC_BITMAP_LIST_ITEM == QEM_IDB_LIST_ITEM);
static_assert(QEM_RC_MSG_NO_ACCELERATORS == QEM_ERR_NO_ACCELERATORS &&
              QEM_RC_MSG_NO_EXTENSION == QEM_INFO_NO_EXTENSION &&
              QEM_RC_MSG_TAMBRIL_START == QEM_ERR_TAMBRIL_START &&
              QEM_RC_MSG_QUORSET_START == QEM_ERR_QUORSET_START &&
              QEM_RC_MSG_NO_CURRENT_FILE == QEM_INFO_NO_CURRENT_FILE &&
              QEM_RC_MSG_SCAN_OPEN == QEM_ERR_SCAN_OPEN && QEM_RC_MSG_OUTPUT_OPEN == QEM_ERR_OUTPUT_OPEN &&
              QEM_RC_MSG_NO_SELECTION == QEM_INFO_NO_SELECTION &&
              QEM_RC_MSG_CHILD_WINDOWS == QEM_ERR_CHILD_WINDOWS &&
              QEM_RC_MSG_WINZIP_START == QEM_ERR_WINZIP_START &&
              QEM_RC_MSG_NO_CLOSE_SCANNING == QEM_INFO_NO_CLOSE_SCANNING);

// The linker's symbol for the start of this very image, whatever its load address.
extern "C" IMAGE_DOS_HEADER __ImageBase;

HINSTANCE LibraryModule()
{
    return reinterpret_cast<HINSTANCE>(&__ImageBase);
}

std::string LoadLibraryString(UINT id)
{
    char buffer[512];
    int length = LoadStringA(LibraryModule(), id, buffer, sizeof buffer);
    return std::string(buffer, length > 0 ? static_cast<size_t>(length) : 0);
}

HINSTANCE WINAPI QemGetInstHandle(void)
{
    return LibraryModule();
}
