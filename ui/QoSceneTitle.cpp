#include "ui/QoSceneTitle.h"

#include <utility>

#include "input/InputDevices.h"
#include "media/MovieSource.h"
#include "platform/win32/win32.h"
#include "scene/SceneGlobals.h"
#include "scene/TextureTable.h"

namespace {

struct ButtonSpec {
  const char16_t* caption;
  int normalCell;
  int pressedCell;
};

constexpr ButtonSpec kButtons[BTN_COUNT] = {
    {u"再生するファイルを開く", 5, 13},
    {u"再生", 0, 8},
    {u"一時停止", 3, 11},
    {u"停止", 4, 12},
    {u"前のファイル", 1, 9},
    {u"次のファイル", 2, 10},
    {u"サウンド：オン", 6, 14},
    {u"サウンド：オフ", 7, 15},
    {u"ヘルプ", 16, 17},
};

// Cells of the menu texture: 0 to 15 in rows of eight 32 x 32 cells, then two below them.
SrdCell MenuCell(int cell) {
  if (cell == 16) return {0, 64, 32, 32};
  if (cell == 17) return {0, 96, 32, 32};
  return {32 * (cell % 8), 32 * (cell / 8), 32, 32};
}

RECT ButtonRect(int index, int w, int h) {
  if (index == BTN_HELP) return {w - 37, 5, w - 5, 37};
  if (index == BTN_SOUND_OFF) return {w - 37, h - 37, w - 5, h - 5};
  const int left = w - 259 + 37 * index;
  return {left, h - 37, left + 32, h - 5};
}

void SetState(CSrdButton& button, int state) {
  button.m_state = state;
  button.m_counter = 0;
}

}  // namespace

CQoSceneTitle::CQoSceneTitle() = default;

CQoSceneTitle::~CQoSceneTitle() {
  Cleanup();
}

int CQoSceneTitle::Init(int /*mode*/) {
  IDirect3DTexture9* menu = g_textures ? g_textures->GetSlotTexture(TEXID_MENU) : nullptr;
  for (int i = 0; i < BTN_COUNT; ++i) {
    auto button = std::make_unique<CSrdButton>();
    const RECT r = ButtonRect(i, g_screenWidth, g_screenHeight);
    button->SetPlacement(r.left, r.top, r.right, r.bottom, kButtons[i].caption);
    button->m_texture = menu;
    button->m_normalCell = MenuCell(kButtons[i].normalCell);
    button->m_pressedCell = MenuCell(kButtons[i].pressedCell);
    SetState(*button, SRD_NORMAL);
    m_buttons[i] = std::move(button);
  }
  SetState(*m_buttons[BTN_SOUND_ON], SRD_HIDDEN);  // the sound starts on

  WCHAR module[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, module, MAX_PATH);
  m_programFolder = module;
  const std::size_t slash = m_programFolder.find_last_of(u'\\');
  m_programFolder.resize(slash == std::u16string::npos ? 0 : slash);

  // A file named at start takes the welcome picture's place in the first open, so that its
  // picture is not kept waiting behind one that is replaced at once. Where it does not open, the
  // welcome picture shows after its message.
  const std::u16string start = std::exchange(m_startFile, {});
  if (start.empty()) {
    ShowWelcome();
  } else {
    ResetView();
    if (!OpenNamedFile(start)) ShowWelcome();
  }
  return 0;
}

void CQoSceneTitle::ShowWelcome() {
  m_files.Clear();
  m_currentIndex = 0;
  OpenMedia(m_programFolder + WELCOME_PICTURE);
  ResetView();
}

void CQoSceneTitle::CloseMedia() {
  if (m_mediaTexture) {
    m_mediaTexture->Release();
    m_mediaTexture = nullptr;
  }
  if (m_media) {
    delete m_media;  // closes the graph, then releases
    m_media = nullptr;
  }
}

void CQoSceneTitle::Cleanup() {
  CloseMedia();
  DropMediaReadAhead();
  for (auto& button : m_buttons) button.reset();
}

bool CQoSceneTitle::SoundOn() const {
  return m_buttons[BTN_SOUND_ON] && m_buttons[BTN_SOUND_ON]->m_state == SRD_HIDDEN;
}

bool CQoSceneTitle::QueueCommand(WORD command) {
  if (command < IDM_NEXT_FILE || command > IDM_PLAYER_LAST) return false;
  m_commands.push_back(command);
  return true;
}

int CQoSceneTitle::Update() {
  const std::vector<WORD> commands = std::exchange(m_commands, {});
  const bool camera = g_input && g_input->m_pointerY < g_screenHeight - 40;
  if (camera) UpdateCamera();
  for (WORD command : commands) RunCommand(command, camera);
  if (camera) AdvanceZoomAnimation();
  UpdateButtons();
  ReadAheadNeighbour();
  return 0;
}

void CQoSceneTitle::UpdateCamera() {
  const bool leftPress = g_input->m_mouseButtons[0] && !g_input->m_prevMouseButtons[0];
  const bool rightPress = g_input->m_mouseButtons[1] && !g_input->m_prevMouseButtons[1];

  if (g_input->m_wheel != 0) StepZoom(g_input->m_wheel > 0 ? 1 : -1);

  if (leftPress && m_cameraLocked) {
    m_cursorX = g_input->m_pointerX;
    m_cursorY = g_input->m_pointerY;
    const POINT pivot = PivotUnderCursor();
    m_pivotX = pivot.x;
    m_pivotY = pivot.y;
    m_anchorX = m_cursorX;
    m_anchorY = m_cursorY;
  }
  if (!m_cameraLocked) {
    m_cursorX = g_input->m_pointerX;
    m_cursorY = g_input->m_pointerY;
  }
  if (rightPress) ToggleCameraLock();
}

void CQoSceneTitle::StepZoom(int direction) {
  if (direction > 0 && m_zoom < 300)
    AnimateZoom(ZOOM_STEP);
  else if (direction < 0 && m_zoom > 25)
    AnimateZoom(-ZOOM_STEP);
}

void CQoSceneTitle::AnimateZoom(int delta) {
  m_zoomFrom = m_zoom;
  m_zoom += delta;
  m_zoomFramesLeft = ZOOM_FRAMES;
  m_zoomDelta = delta;
}

void CQoSceneTitle::AdvanceZoomAnimation() {
  if (m_zoomFramesLeft > 0 && --m_zoomFramesLeft == 0) m_zoomFrom = -1;
}

void CQoSceneTitle::ToggleCameraLock() {
  m_cameraLocked = !m_cameraLocked;
  if (!m_cameraLocked) return;
  // Locked where the lens is: the picture point under it becomes the anchor of later zoom steps.
  const POINT pivot = PivotUnderCursor();
  m_pivotX = pivot.x;
  m_pivotY = pivot.y;
  m_anchorX = m_cursorX;
  m_anchorY = m_cursorY;
}

int CQoSceneTitle::CurrentZoom() const {
  if (m_zoomFrom == -1) return m_zoom;
  const float t = static_cast<float>(ZOOM_FRAMES - m_zoomFramesLeft) / ZOOM_FRAMES - 1.0f;
  return static_cast<int>(static_cast<float>(m_zoomFrom) + (t * t * t + 1.0f) * static_cast<float>(m_zoomDelta));
}

RECT CQoSceneTitle::MediaRect() const {
  const int z = CurrentZoom();
  const int width = m_media ? m_media->GetWidth() : 0;
  const int height = m_media ? m_media->GetHeight() : 0;
  const int px = (z * m_pivotX + 99) / 100;
  const int py = (z * m_pivotY + 99) / 100;
  const int w = (z * width + 99) / 100;
  const int h = (z * height + 99) / 100;
  return {m_anchorX - px, m_anchorY - py, m_anchorX - px + w, m_anchorY - py + h};
}

POINT CQoSceneTitle::PivotUnderCursor() const {
  const int z = CurrentZoom();  // never below 23
  const RECT r = MediaRect();
  return {(m_cursorX - r.left) * 100 / z, (m_cursorY - r.top) * 100 / z};
}

void CQoSceneTitle::ResetView() {
  m_zoom = 100;
  // The centre of the client area in screen coordinates, whatever frame the window manager adds.
  RECT client = {};
  if (g_hWnd && GetClientRect(g_hWnd, &client)) {
    POINT centre = {client.right / 2, client.bottom / 2};
    if (ClientToScreen(g_hWnd, &centre)) SetCursorPos(centre.x, centre.y);
  }
  m_cursorX = m_anchorX = g_screenWidth / 2;
  m_cursorY = m_anchorY = g_screenHeight / 2;
}

void CQoSceneTitle::SetMediaButtons(bool isMovie) {
  for (int i : {BTN_PLAY, BTN_PAUSE, BTN_STOP})
    if (m_buttons[i]) SetState(*m_buttons[i], isMovie ? SRD_NORMAL : SRD_DISABLED);
  for (int i : {BTN_NEXT, BTN_PREV})
    if (m_buttons[i]) SetState(*m_buttons[i], m_files.Count() < 2 ? SRD_DISABLED : SRD_NORMAL);
}

void CQoSceneTitle::UpdateButtons() {
  for (int i = 0; i < BTN_COUNT; ++i) {
    if (m_buttons[i] && m_buttons[i]->Track() == SRD_CLICKED) RunAction(i);
  }
}

void CQoSceneTitle::RunCommand(WORD command, bool camera) {
  switch (command) {
    case IDM_NEXT_FILE:
      RunEnabledAction(BTN_NEXT);
      break;
    case IDM_PREVIOUS_FILE:
      RunEnabledAction(BTN_PREV);
      break;
    case IDM_PLAY_PAUSE:
      RunEnabledAction(Playing() ? BTN_PAUSE : BTN_PLAY);
      break;
    case IDM_STOP:
      RunEnabledAction(BTN_STOP);
      break;
    case IDM_OPEN:
      RunEnabledAction(BTN_OPEN);
      break;
    case IDM_HELP:
      RunEnabledAction(BTN_HELP);
      break;
    case IDM_SOUND:
      RunEnabledAction(SoundOn() ? BTN_SOUND_OFF : BTN_SOUND_ON);
      break;
    // The camera's commands take effect where the wheel and the right button do.
    case IDM_ZOOM_IN:
      if (camera) StepZoom(1);
      break;
    case IDM_ZOOM_OUT:
      if (camera) StepZoom(-1);
      break;
    case IDM_ZOOM_RESET:
      if (camera && m_zoom != 100) AnimateZoom(100 - m_zoom);
      break;
    case IDM_CAMERA_LOCK:
      if (camera) ToggleCameraLock();
      break;
    default:
      break;
  }
}

void CQoSceneTitle::RunEnabledAction(int button) {
  if (!m_buttons[button] || m_buttons[button]->m_state == SRD_DISABLED || m_buttons[button]->m_state == SRD_HIDDEN)
    return;
  RunAction(button);
}

bool CQoSceneTitle::Playing() const {
  IMediaControl* control = m_media ? m_media->GetMediaControl() : nullptr;
  OAFilterState state = State_Stopped;
  return control && SUCCEEDED(control->GetState(0, &state)) && state == State_Running && !AtStopTime();
}

bool CQoSceneTitle::AtStopTime() const {
  IMediaPosition* position = m_media ? m_media->GetMediaPosition() : nullptr;
  REFTIME now = 0, stop = 0;
  return position && SUCCEEDED(position->get_CurrentPosition(&now)) && SUCCEEDED(position->get_StopTime(&stop)) &&
         now == stop;
}

void CQoSceneTitle::RunAction(int button) {
  IMediaControl* control = m_media ? m_media->GetMediaControl() : nullptr;
  IMediaPosition* position = m_media ? m_media->GetMediaPosition() : nullptr;
  switch (button) {
    case BTN_OPEN:
      OpenFileDialog();
      break;
    case BTN_PLAY:
      if (m_media) {
        if (AtStopTime()) position->put_CurrentPosition(0.0);
        if (control) control->Run();
      }
      break;
    case BTN_PAUSE:
      if (control) control->Stop();
      break;
    case BTN_STOP:
      if (control) control->Stop();
      if (position) position->put_CurrentPosition(0.0);
      break;
    case BTN_PREV:
      m_stepDirection = -1;
      if (m_files.Count() >= 1) OpenMedia(m_files.StepPrevious(m_currentIndex));
      break;
    case BTN_NEXT:
      m_stepDirection = 1;
      if (m_files.Count() >= 1) OpenMedia(m_files.StepNext(m_currentIndex));
      break;
    case BTN_SOUND_ON:
      if (m_media) m_media->SetVolume(10000);
      SetState(*m_buttons[BTN_SOUND_ON], SRD_HIDDEN);
      SetState(*m_buttons[BTN_SOUND_OFF], SRD_NORMAL);
      break;
    case BTN_SOUND_OFF:
      if (m_media) m_media->SetVolume(0);
      SetState(*m_buttons[BTN_SOUND_ON], SRD_NORMAL);
      SetState(*m_buttons[BTN_SOUND_OFF], SRD_HIDDEN);
      break;
    case BTN_HELP:
      OpenMedia(m_programFolder + HELP_PICTURE);
      ResetView();
      break;
    default:
      break;
  }
}
