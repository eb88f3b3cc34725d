#include <string>

#include "framework/D3DApplication.h"
#include "platform/win32/win32.h"

namespace {

bool g_fatalErrorShown = false;

const char16_t* ErrorText(HRESULT code) {
  switch (code) {
    case D3DAPPERR_NODIRECT3D:
      return u"Could not initialize Direct3D. You may\nwant to check that the latest version of\nDirectX is "
             u"correctly installed on your\nsystem.  Also make sure that this program\nwas compiled with header "
             u"files that match\nthe installed DirectX DLLs.";
    case D3DAPPERR_NOCOMPATIBLEDEVICES:
      return u"Could not find any compatible Direct3D\ndevices.";
    case D3DAPPERR_NOWINDOWABLEDEVICES:
      return u"This sample cannot run in a desktop\nwindow with the current display settings.\nPlease change your "
             u"desktop settings to a\n16- or 32-bit display mode and re-run this\nsample.";
    case D3DAPPERR_NOHARDWAREDEVICE:
      return u"No hardware-accelerated Direct3D devices\nwere found.";
    case D3DAPPERR_HALNOTCOMPATIBLE:
      return u"This sample requires functionality that is\nnot available on your Direct3D hardware\naccelerator.";
    case D3DAPPERR_NOWINDOWEDHAL:
      return u"Your Direct3D hardware accelerator cannot\nrender into a window.\nPress F2 while the app is running "
             u"to see a\nlist of available devices and modes.";
    case D3DAPPERR_NODESKTOPHAL:
      return u"Your Direct3D hardware accelerator cannot\nrender into a window with the current\ndesktop display "
             u"settings.\nPress F2 while the app is running to see a\nlist of available devices and modes.";
    case D3DAPPERR_NOHALTHISMODE:
      return u"This sample requires functionality that is\nnot available on your Direct3D hardware\naccelerator "
             u"with the current desktop display\nsettings.\nPress F2 while the app is running to see a\nlist of "
             u"available devices and modes.";
    case D3DAPPERR_NONZEROREFCOUNT:
      return u"A D3D object has a non-zero reference\ncount (meaning things were not properly\ncleaned up).";
    case D3DAPPERR_MEDIANOTFOUND:
    case HRESULT_FILE_NOT_FOUND:
      return u"Could not load required media.";
    case D3DAPPERR_RESETFAILED:
      return u"Could not reset the Direct3D device.";
    case D3DAPPERR_NULLREFDEVICE:
      return u"Warning: Nothing will be rendered.\nThe reference rendering device was selected, but your\ncomputer "
             u"only has a reduced-functionality reference device\ninstalled.  Install the DirectX SDK to get the "
             u"full\nreference device.\n";
    case E_OUTOFMEMORY:
      return u"Not enough memory.";
    case D3DERR_OUTOFVIDEOMEMORY:
      return u"Not enough video memory.";
    default:
      return u"Generic application error. Enable\ndebug output for detailed information.";
  }
}

}  // namespace

bool CD3DApplication::FatalErrorShown() {
  return g_fatalErrorShown;
}

HRESULT CD3DApplication::ReportError(HRESULT code, AppMsgType type) {
  if (g_fatalErrorShown) return code;
  std::u16string text = ErrorText(code);
  if (type == MSGERR_APPMUSTEXIT) {
    g_fatalErrorShown = true;
    text += u"\n\nThis sample will now exit.";
    MessageBoxW(nullptr, text.c_str(), m_strWindowTitle.c_str(), MB_ICONERROR | MB_OK);
    if (m_hWnd) SendMessageW(m_hWnd, WM_CLOSE, 0, 0);
  } else {
    if (type == MSGWARN_SWITCHEDTOREF)
      text +=
          u"\n\nSwitching to the reference rasterizer,\na software device that implements the entire\nDirect3D "
          u"feature set, but runs very slowly.";
    MessageBoxW(nullptr, text.c_str(), m_strWindowTitle.c_str(), MB_ICONWARNING | MB_OK);
  }
  return code;
}
