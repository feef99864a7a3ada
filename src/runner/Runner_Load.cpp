#include "runner/Runner_Load.h"

#include <sys/resource.h>

#include <cmath>
#include <cstdio>
#include <exception>
#include <memory>

#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_Display.h"
#include "graphics/Graphics_Window.h"
#include "platform/Platform.h"
#include "runner/DataNew_Main.h"
#include "runner/Option_Main.h"
#include "runner/Support_File.h"
#include "runner/Support_Stream.h"
#include "runner/Support_Various.h"
#include "resources/Background_Main.h"
#include "resources/Font_Main.h"
#include "resources/Object_Main.h"
#include "resources/Sprite_Main.h"
#include "resources/TimeLine_Main.h"
#include "resources/Trigger_Main.h"
#include "runtime/Event_Main.h"
#include "runtime/IO_Script.h"
#include "runtime/Run_Main.h"
#include "script/Constant_Main.h"
#include "script/Extension_Main.h"
#include "script/Script_Main.h"
#include "resources/Sound_Main.h"
#include "sound/Sound_Playback.h"

namespace {
int g_progress = 0;

bool PlainFileName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find_first_of("/\\") == std::string::npos &&
         name.find('\0') == std::string::npos;
}

// One step of the prepare phase: progress, text, work and the message shown
// when the work fails (none: failure is not reported).
struct RPrepareStep {
  int progress;
  const char* text;
  bool (*work)();
  const char* failure;
};

// The graphics start-up: the game window with its render device, the
// device's settings, the resource textures and the first frame. Without an
// installed platform (tools, tests) nothing is drawn.
bool GraphicsStep() {
  IGameWindow* w = GameWindow();
  if (w == nullptr) return true;
  std::string error;
  std::unique_ptr<IRenderDevice> device = w->Open(error);
  if (!device) {
    ShowMessage("Cannot show the game: " + error);
    return false;
  }
  PlatformSetRenderDevice(std::move(device));
  // The window appears when the first room has given it its size.
  WindowShowWhenSized();
  if (!Init_Graphics_Window()) return false;
  TraceWrite("Init_Graphics :: GR_D3D_Init");
  if (!GR_D3D_Init(640, 480, opt_sync)) return false;
  GR_D3D_Set_Interpolation(opt_interpolate);
  TraceWrite("Init_Graphics :: Background_InitTextures");
  Background_InitTextures();
  TraceWrite("Init_Graphics :: Sprite_InitTextures");
  Sprite_InitTextures();
  TraceWrite("Init_Graphics :: Background_FontTextures");
  Font_InitTextures();
  TraceWrite("Init_Graphics :: GR_D3D_Start_Frame");
  GR_D3D_Start_Frame();
  TraceWrite("Init_Graphics :: Finished");
  WindowSetCursor(opt_showcursor ? 0 : -1);
  return true;
}

// The sound system starts when the game has sounds (or a mix file is asked
// for); a missing device leaves the game silent, never failing.
bool SoundStep() {
  StartSound(PresentSoundCount());
  PrepareSounds();
  return true;
}

bool ExportStep() {
  ExportIncludedFiles();
  return true;
}

// The prepare steps in order. Each module adds its step here when it exists:
// 55 "Preparing extension packages", 60 "Preparing constants",
// 61 "Preparing triggers", 62 "Compiling scripts", 70 "Compiling time line
// actions", 72 "Compiling object actions", 80 "Preparing sounds",
// 90 "Preparing graphics".
constexpr RPrepareStep kPrepareSteps[] = {
    {50, "Extracting included files", ExportStep, nullptr},
    {55, "Preparing extension packages", ExtensionsPrepare, "Failed to prepare extension packages."},
    {60, "Preparing constants", ConstantsDefine, "Failed to define the constants."},
    {61, "Preparing triggers", PrepareTriggers, "Failed to prepare triggers."},
    {62, "Compiling scripts", ScriptsCompileAll, "Failed to compile the scripts."},
    {70, "Compiling time line actions", CompileTimeLines, "Failed to compile the actions in the time lines."},
    {72, "Compiling object actions", CompileObjects, "Failed to compile the actions in the objects."},
    {80, "Preparing sounds", SoundStep, nullptr},
    {90, "Preparing graphics", GraphicsStep, nullptr},
};

void ApplyPriority() {
  // Raising the priority needs privileges on Linux; failure is harmless.
  if (opt_priority == 1) {
    (void)setpriority(PRIO_PROCESS, 0, -5);
  } else if (opt_priority == 2) {
    (void)setpriority(PRIO_PROCESS, 0, -10);
  }
}
}  // namespace

void SetLoadProgress(int percent, const std::string& text) {
  g_progress = percent;
  TraceWrite(text);
  if (IGameWindow* w = GameWindow()) w->LoadWindowProgress(percent);
  PumpMessages();
}

int LoadProgress() { return g_progress; }

void SetupLoadForm(bool debug_mode) {
  if (IGameWindow* w = GameWindow()) {
    RLoadPictures pictures;
    pictures.image = opt_loadimage ? &*opt_loadimage : nullptr;
    pictures.back = opt_progressback ? &*opt_progressback : nullptr;
    pictures.front = opt_progressfront ? &*opt_progressfront : nullptr;
    w->LoadWindowOpen(pictures, opt_showprogress, opt_scaleprogress, debug_mode, opt_loadalpha,
                           opt_loadtransparent);
  }
  SetLoadProgress(0, "Loading");
}

void CloseLoadForm() {
  if (IGameWindow* w = GameWindow()) w->LoadWindowClose();
}

void WriteHelperLibrary(const std::string& name, const CStream& bytes) {
  if (TempDir.empty()) return;
  if (!PlainFileName(name)) {
    TraceWrite("Graphics helper library not written: bad file name");
    return;
  }
  WriteWholeFile(TempDir + "/" + name, bytes.Data(), bytes.Size());
}

bool PrepareGame() {
  ApplyPriority();
  for (const RPrepareStep& step : kPrepareSteps) {
    SetLoadProgress(step.progress, step.text);
    if (!step.work()) {
      if (step.failure) ShowMessage(step.failure);
      return false;
    }
  }
  SetLoadProgress(100, "Ready");
  CloseLoadForm();
  return true;
}

namespace {

bool PlayLoadedGame();

}  // namespace

bool RunGame(const std::string& path) {
  if (!OpenGameFile(path)) return false;
  return PlayLoadedGame();
}

bool RunGameFromBytes(std::vector<uint8_t> game) {
  if (!LoadGameFromBuffer(std::move(game))) return false;
  return PlayLoadedGame();
}

namespace {

bool PlayLoadedGame() {
  // Room for the message and the clean-up when the game used up memory.
  std::unique_ptr<char[]> reserve(new char[size_t(4) << 20]);
  try {
    if (!PrepareGame()) return false;
    InstallEventDispatch();
    RunMainLoop();
    return true;
  } catch (const std::exception& e) {
    reserve.reset();
    VTExceptionHandler(e.what());
    ShowMessage("Unexpected error occured when running the game.");
    return false;
  } catch (...) {
    reserve.reset();
    ShowMessage("Unexpected error occured when running the game.");
    return false;
  }
}

}  // namespace

void FinishGame() {
  if (!StopSound()) {
    std::fputs("roomrun: cannot write the mix file\n", stderr);
    NoteOutputFailure();
  }
  RemoveIncludedFiles();
  // Events past the end are a mistake in the script, not the game's.
  const std::string left = IO_ScriptLeftOverWarning();
  if (!left.empty()) std::fprintf(stderr, "roomrun: warning: %s\n", left.c_str());
}

int GameExitStatus() {
  if (GameStoppedByError()) return kExitGameError;
  if (OutputFailed()) return kExitOutputFailed;
  return kExitNormal;
}
