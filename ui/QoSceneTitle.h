// The player scene: the open media seen through a 128 x 128 lens that follows the pointer (or
// stays put while the camera is locked), zoomed in animated 7 % steps by the wheel around an
// anchor, with nine buttons for opening, playing and stepping through files, and keys that do
// what the buttons, the wheel and the right button do. Created by the scene manager; Update and
// Draw run once per frame on the frame thread.
//
// Geometry: the media picture's point (m_pivotX, m_pivotY) sits at the screen point
// (m_anchorX, m_anchorY), scaled by CurrentZoom() percent. Screen coordinates are those of the
// fixed 640 x 480 logical screen.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "media/MediaFileList.h"
#include "platform/d3d9/d3d9.h"
#include "scene/QoScene.h"
#include "ui/SrdButton.h"

class CMovieSource;

enum : int {
  BTN_OPEN = 0,
  BTN_PLAY,
  BTN_PAUSE,
  BTN_STOP,
  BTN_PREV,
  BTN_NEXT,
  BTN_SOUND_ON,   // shown while the sound is off
  BTN_SOUND_OFF,  // shown while the sound is on
  BTN_HELP,
  BTN_COUNT
};

// Commands of the player's keys: the window's accelerator table sends them as WM_COMMAND ids.
// Each does what its button or mouse gesture does, through the same code.
enum : WORD {
  IDM_NEXT_FILE = 40101,  // the next button
  IDM_PREVIOUS_FILE,      // the previous button
  IDM_PLAY_PAUSE,         // the pause button while a video plays, the play button otherwise
  IDM_STOP,               // the stop button
  IDM_OPEN,               // the open button
  IDM_HELP,               // the help button
  IDM_SOUND,              // whichever sound button shows
  IDM_ZOOM_IN,            // one wheel notch away from the user
  IDM_ZOOM_OUT,           // one wheel notch towards the user
  IDM_ZOOM_RESET,         // eases back to 100 %
  IDM_CAMERA_LOCK,        // a right press
  IDM_PLAYER_LAST = IDM_CAMERA_LOCK
};

constexpr int ZOOM_STEP = 7;
constexpr int ZOOM_FRAMES = 10;
constexpr int LENS_SIZE = 128;

class CQoSceneTitle : public CQoScene {
 public:
  CQoSceneTitle();
  ~CQoSceneTitle() override;
  CQoSceneTitle(const CQoSceneTitle&) = delete;
  CQoSceneTitle& operator=(const CQoSceneTitle&) = delete;

  // Builds the buttons, opens the welcome picture beside the program file and centres the view.
  // The argument is ignored; always 0.
  int Init(int mode) override;
  // A file (Windows form) that Init opens in place of the welcome picture.
  void SetStartFile(std::u16string path) { m_startFile = std::move(path); }
  // Drops the media, a file read ahead and the buttons; safe to call twice.
  void Cleanup() override;
  // Camera and zoom (unless the pointer is over the bottom strip), the queued key commands, then
  // the buttons and the actions of a clicked one. Always 0: the scene never finishes.
  int Update() override;
  void Draw() override;
  // The lens square cut to the logical screen above the control strip (empty when the lens is
  // off the screen); false when the back buffer reaches past the logical screen, whose rest
  // nothing masks.
  bool OpenArea(RECT* area) const override;
  bool CoversOpenArea(const RECT& area) const override;
  // The lens, zoom and media placement, the media's texture and pictures delivered into it,
  // the seek bar's and the time text's values, the lock text, the buttons and their tooltips.
  bool DescribeDraw(CFrameSignature* signature) const override;
  // The media position and duration in g_appFont at the top left.
  void DrawDebugInfo() override;

  // The animated zoom in percent: a cubic ease-out from m_zoomFrom to m_zoom over ZOOM_FRAMES.
  int CurrentZoom() const;
  // Where the whole media picture lies on the screen (0 x 0 at the anchor without media).
  RECT MediaRect() const;
  // The picture point under the lens centre.
  POINT PivotUnderCursor() const;
  // Zoom 100, lens and anchor at the screen centre, and the system cursor at the centre of the
  // window's client area.
  void ResetView();
  // Play, pause and stop for a video only; previous and next when the folder list holds two or
  // more files.
  void SetMediaButtons(bool isMovie);

  // The system's open-file dialog; a pick rescans its folder into m_files and opens the file.
  void OpenFileDialog();
  // Opens a file named from outside the dialog (the command line, a drop on the window) exactly
  // as if it had been picked in it: the next dialog starts there, its folder is rescanned and the
  // file opened. A path too long for the dialog is refused with an error box. True when it opened.
  bool OpenNamedFile(const std::u16string& path);
  // Back to the state after Init: empty file list and the welcome picture in a reset view.
  void ShowWelcome();
  // Opens a file by path as video or picture (by its extension), retitles the window and
  // replaces the current media; on failure no media is left.
  void OpenMedia(std::u16string path);

  // Once the media has stood still (a picture, or a video that is not playing) for
  // m_readAheadDwell ms, the file that the next step in the last direction moved would open is
  // read ahead in a spare media worker, once per opened file, so that the step finds it open.
  // Called by Update.
  void ReadAheadNeighbour();

  // True while the sound is on: the sound-on button is hidden exactly then.
  bool SoundOn() const;

  // Queues a key command (IDM_NEXT_FILE to IDM_CAMERA_LOCK) for the next Update, which runs the
  // commands in the order queued, once each, so that every key repeat steps once. A button's
  // command does nothing while the button is disabled or hidden; the zoom and lock commands,
  // like the wheel and the right button, do nothing while the pointer is over the bottom strip.
  // False for any other id, which is left to the window.
  bool QueueCommand(WORD command);

  CMovieSource* m_media = nullptr;              // owned
  IDirect3DTexture9* m_mediaTexture = nullptr;  // one reference held
  std::array<std::unique_ptr<CSrdButton>, BTN_COUNT> m_buttons;
  int m_cursorX = 0, m_cursorY = 0;  // lens centre
  int m_anchorX = 0, m_anchorY = 0;
  int m_pivotX = 0, m_pivotY = 0;
  int m_zoom = 100;     // target zoom, percent
  int m_zoomFrom = -1;  // -1: no animation runs
  int m_zoomFramesLeft = 0;
  int m_zoomDelta = 0;
  bool m_cameraLocked = false;
  CMediaFileList m_files;
  int m_currentIndex = 0;
  std::u16string m_programFolder;  // without a trailing "\"
  std::u16string m_startFile;      // taken by Init
  std::vector<WORD> m_commands;    // queued key commands, for the next Update
  bool m_readAhead = true;         // reads the neighbouring file ahead (ReadAheadNeighbour)
  DWORD m_readAheadDwell = 300;    // ms the media stands still before its neighbour is read ahead
  int m_stepDirection = 1;         // the last step: 1 next, -1 previous
  DWORD m_stillSince = 0;          // when the media was first seen standing still; 0: not yet
  bool m_readAheadDone = false;    // the neighbour of the opened file has been read ahead

 private:
  void UpdateCamera();
  // One wheel notch in (direction > 0) or out, within the zoom's limits.
  void StepZoom(int direction);
  // Moves the target zoom by delta percent, eased over ZOOM_FRAMES from the previous target.
  void AnimateZoom(int delta);
  void AdvanceZoomAnimation();
  void ToggleCameraLock();
  void UpdateButtons();
  // A key command; camera tells that the camera and zoom take input in this frame.
  void RunCommand(WORD command, bool camera);
  // The button's action unless the button is disabled or hidden.
  void RunEnabledAction(int button);
  void RunAction(int button);
  // The media's graph runs and its position has not reached the stop time.
  bool Playing() const;
  // The media's position is at its stop time (a video played to its end).
  bool AtStopTime() const;
  void CloseMedia();
  void OpenDialogPath();
  void DrawMedia();
  void DrawLens(int x, int y);
  void DrawControlStrip();
  void DrawTexts();
};

// The playing time as the control strip shows it: "%2d:%02d:%02d" of the whole seconds.
std::u16string PlayTimeText(double seconds);

// Picture files beside the program file.
inline constexpr const char16_t* WELCOME_PICTURE = u"\\image\\ようこそ.bmp";
inline constexpr const char16_t* HELP_PICTURE = u"\\image\\説明書.bmp";
