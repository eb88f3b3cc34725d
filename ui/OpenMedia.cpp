// Opening media: the open-file dialog and opening a file by path.
#include "ui/OpenMedia.h"

#include <algorithm>

#include "media/MediaExtensions.h"
#include "media/MovieSource.h"
#include "media/MovieTexture.h"
#include "platform/win32/win32.h"
#include "scene/SceneGlobals.h"
#include "ui/QoSceneTitle.h"

namespace {

// The last picked path: the next dialog starts at that file in its folder.
WCHAR g_dialogPath[DIALOG_PATH_SIZE] = {};

}  // namespace

// Description and pattern pairs, each terminated, the whole list ending with a second terminator:
// every type the viewer opens, the videos, the pictures.
const std::u16string& OpenDialogFilter() {
  static const std::u16string filter = [] {
    std::u16string videos = DialogPatterns(VideoExtensions()), pictures = DialogPatterns(PictureExtensions());
    std::u16string text;
    for (const std::u16string& part : {std::u16string(u"読めるファイル全部"), videos + pictures,
                                       std::u16string(u"動画"), videos, std::u16string(u"絵"), pictures})
      text += part + u'\0';
    return text;
  }();
  return filter;
}

bool ExtensionEquals(const std::u16string& extension, const std::u16string& literal) {
  return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, extension.c_str(), static_cast<int>(extension.size()),
                        literal.c_str(), static_cast<int>(literal.size())) == CSTR_EQUAL;
}

bool IsVideoPath(const std::u16string& path) {
  const std::size_t dot = path.find_last_of(u'.');
  const std::u16string extension = dot == std::u16string::npos ? path : path.substr(dot + 1);
  for (const char16_t* video : VideoExtensions())
    if (ExtensionEquals(extension, video)) return true;
  return false;
}

std::u16string WindowTitleFor(const std::u16string& path) {
  const std::size_t slash = path.find_last_of(u'\\');
  const std::u16string name = slash == std::u16string::npos ? path : path.substr(slash + 1);
  return name.empty() ? std::u16string(WINDOW_TITLE) : name + u" - " + WINDOW_TITLE;
}

void CQoSceneTitle::OpenFileDialog() {
  OPENFILENAMEW ofn = {};
  ofn.lStructSize = 76;  // the size without the later extension fields
  ofn.lpstrFilter = OpenDialogFilter().c_str();
  ofn.lpstrFile = g_dialogPath;
  ofn.nMaxFile = DIALOG_PATH_SIZE;
  ofn.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
  if (!GetOpenFileNameW(&ofn)) return;
  OpenDialogPath();
}

bool CQoSceneTitle::OpenNamedFile(const std::u16string& path) {
  if (path.empty()) return false;
  if (path.size() >= DIALOG_PATH_SIZE) {
    ShowError(u"Could not open a file whose path is %d characters long (at most %d).", static_cast<int>(path.size()),
              DIALOG_PATH_SIZE - 1);
    return false;
  }
  std::copy(path.begin(), path.end(), g_dialogPath);
  g_dialogPath[path.size()] = 0;
  OpenDialogPath();
  return m_media != nullptr;
}

void CQoSceneTitle::OpenDialogPath() {
  // Split buffers as large as the dialog buffer: every part of a picked path fits.
  WCHAR drive[DIALOG_PATH_SIZE], dir[DIALOG_PATH_SIZE], name[DIALOG_PATH_SIZE], ext[DIALOG_PATH_SIZE];
  if (_wsplitpath_s(g_dialogPath, drive, DIALOG_PATH_SIZE, dir, DIALOG_PATH_SIZE, name, DIALOG_PATH_SIZE, ext,
                    DIALOG_PATH_SIZE) != 0)
    return;
  m_files.Rebuild(std::u16string(drive) + dir);
  m_files.LocateOpened(std::u16string(name) + ext, m_currentIndex);
  OpenMedia(g_dialogPath);
}

void CQoSceneTitle::OpenMedia(std::u16string path) {
  m_stillSince = 0;
  m_readAheadDone = false;
  SetMediaButtons(IsVideoPath(path));
  if (g_hWnd) SetWindowTextW(g_hWnd, WindowTitleFor(path).c_str());

  CloseMedia();
  m_media = new CMovieSource();
  if (FAILED(m_media->Open(g_device, path.c_str(), SoundOn()))) {
    CloseMedia();  // Open has shown its own message
    return;
  }
  m_mediaTexture = m_media->GetTexture();
  if (m_mediaTexture) m_mediaTexture->AddRef();
  m_pivotX = m_media->GetWidth() / 2;
  m_pivotY = m_media->GetHeight() / 2;
}

void CQoSceneTitle::ReadAheadNeighbour() {
  if (!m_readAhead || m_readAheadDone || !m_media || m_files.Count() < 2) return;
  if (Playing()) {
    m_stillSince = 0;
    return;
  }
  // timeGetTime may wrap to 0; 1 stands in for it.
  const DWORD now = timeGetTime();
  if (m_stillSince == 0) m_stillSince = now ? now : 1;
  if (now - m_stillSince < m_readAheadDwell) return;
  m_readAheadDone = true;
  int index = m_currentIndex;
  const std::u16string next = m_stepDirection < 0 ? m_files.StepPrevious(index) : m_files.StepNext(index);
  ReadAheadMediaFile(next.c_str());
}
