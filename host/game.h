// The host object: program entry, the frame loop, the event fan-out to the game delegate, the
// window, files and the saved state. One exists per process (VxGame::_game).
#pragma once

#include "host/delegate.h"
#include "host/keys.h"
#include "host/window.h"
#include "host/window_system.h"
#include "runtime/object.h"

#include <bitset>
#include <cstdio>
#include <string_view>

struct GLFWwindow;

// Host event codes, the first argument of KeyEvent, MouseEvent, TouchEvent and MotionEvent.
enum VxEvent {
    KeyDown = 1,
    KeyUp = 2,
    KeyChar = 3,
    MouseDown = 4,
    MouseUp = 5,
    MouseMove = 6,
    TouchDown = 7,
    TouchUp = 8,
    TouchMove = 9,
    MotionAccel = 10,
};

// Counts the OpenGL contexts opened so far; textures stamped with an older value are stale.
extern int glfwGraphicsSeq;

class VxGame {
  public:
    VxGame();
    virtual ~VxGame() = default;

    virtual void SetDelegate(VxGameDelegate* delegate);
    virtual VxGameDelegate* Delegate();
    virtual void SetKeyboardEnabled(bool enabled);
    virtual bool KeyboardEnabled();
    virtual void SetUpdateRate(int hertz);
    virtual int UpdateRate();
    virtual bool Started();
    virtual bool Suspended();
    virtual int Millisecs();
    virtual void GetDate(Array<int> date);
    virtual int SaveState(String state);
    virtual String LoadState();
    virtual String LoadString(String path);
    virtual bool PollJoystick(int port, Array<float> joyx, Array<float> joyy, Array<float> joyz,
                              Array<bool> buttons);
    virtual void OpenUrl(String url);
    virtual void SetMouseVisible(bool visible);
    virtual int GetDeviceWidth();
    virtual int GetDeviceHeight();
    virtual void SetDeviceWindow(int width, int height, int flags);
    virtual Array<VxDisplayMode*> GetDisplayModes();
    virtual VxDisplayMode* GetDesktopMode();
    // The window set-up with colour depths, and the desktop's mode with its own: full screen at the
    // desktop's mode does not switch the monitor's resolution. A host without a window system has
    // no window to set up and no desktop (a mode of 0 x 0).
    virtual void SetGlfwWindow(const VxWindowRequest& request) {}
    virtual VxGlfwVideoMode* GetGlfwDesktopMode() { return new VxGlfwVideoMode(); }
    virtual void SetSwapInterval(int interval);
    virtual String PathToFilePath(String path);
    virtual std::FILE* OpenFile(String path, String mode);
    virtual unsigned char* LoadData(String path, int* length);
    virtual unsigned char* LoadImageData(String path, int* width, int* height, int* depth);
    virtual unsigned char* LoadAudioData(String path, int* length, int* channels, int* format, int* hertz);
    [[noreturn]] virtual void Die(ThrowableObject* ex);
    virtual void gc_collect();
    virtual void StartGame();
    virtual void SuspendGame();
    virtual void ResumeGame();
    virtual void UpdateGame();
    virtual void RenderGame();
    virtual void KeyEvent(int event, int data);
    virtual void MouseEvent(int event, int data, float x, float y);
    virtual void TouchEvent(int event, int data, float x, float y);
    virtual void MotionEvent(int event, int data, float x, float y, float z);
    virtual void DiscardGraphics();
    // A headless host shows and plays nothing: the delegate makes no graphics or sound device.
    virtual bool Headless() { return false; }
    // The frame loop, from the start of the game to the end of the program.
    virtual void Run() {}

    static VxGame* _game;
    // The command line as passed to main, kept for the application.
    static int argc;
    static char** argv;

  protected:
    template <class Call> void ToDelegate(Call call);

    VxGameDelegate* delegate = nullptr;
    bool keyboardEnabled = false;
    int updateRate = 0;
    bool started = false;
    bool suspended = false;
};

// The host of a program that needs no window, no drawing and no sound (the replay verifier): its
// clock stands at 0 and its device has no size, and Run starts the game and updates it back to back
// until the program ends it.
class VxHeadlessGame : public VxGame {
  public:
    bool Headless() override { return true; }
    void Run() override;
};

class VxGlfwGame : public VxGame {
  public:
    VxGlfwGame();
    VxGlfwGame(const VxGlfwGame&) = delete;
    VxGlfwGame& operator=(const VxGlfwGame&) = delete;

    void SetUpdateRate(int hertz) override;
    int Millisecs() override;
    int SaveState(String state) override;
    String LoadState() override;
    bool PollJoystick(int port, Array<float> joyx, Array<float> joyy, Array<float> joyz,
                      Array<bool> buttons) override;
    void OpenUrl(String url) override;
    void SetMouseVisible(bool visible) override;
    int GetDeviceWidth() override;
    int GetDeviceHeight() override;
    void SetDeviceWindow(int width, int height, int flags) override;
    // GLFW's modes, with their colour bits.
    Array<VxDisplayMode*> GetDisplayModes() override { return GetGlfwVideoModes(); }
    VxDisplayMode* GetDesktopMode() override { return GetGlfwDesktopMode(); }
    void SetSwapInterval(int interval) override;
    String PathToFilePath(String path) override;
    unsigned char* LoadImageData(String path, int* width, int* height, int* depth) override;
    unsigned char* LoadAudioData(String path, int* length, int* channels, int* format, int* hertz) override;

    void SetGlfwWindow(const VxWindowRequest& request) override;
    VxGlfwVideoMode* GetGlfwDesktopMode() override;
    virtual Array<VxGlfwVideoMode*> GetGlfwVideoModes();
    void Run() override;
    // Adds the gamepad mappings of gamecontrollerdb.txt in the data folder and of the environment's
    // SDL_GAMECONTROLLERCONFIG to GLFW's database; returns how many lines GLFW took.
    int AddGamepadMappings();

    GLFWwindow* Window() const { return window; }
    // The window has the focus and is not iconified, as the window's callbacks last said.
    bool WindowActive() const { return window && focused && !iconified; }
    // Makes this the process's one host object. The game and the devices reach it as _game, through
    // VxGame's virtual operations; _glfwGame is for the host's own tests and benchmarks, which need
    // GLFW's window itself.
    void Install();
    // Where the frame loop gets its clock and window state; the host's own GLFW one by default.
    void SetWindowSystem(VxWindowSystem* system) { windowSystem = system; }

    // The GLFW callbacks installed on every window; each reaches its host through the window's
    // user pointer.
    static void OnKey(GLFWwindow* w, int key, int scancode, int action, int mods);
    static void OnChar(GLFWwindow* w, unsigned int character);
    static void OnMouseButton(GLFWwindow* w, int button, int action, int mods);
    static void OnMousePos(GLFWwindow* w, double x, double y);
    static void OnWindowClose(GLFWwindow* w);
    static void OnWindowSize(GLFWwindow* w, int width, int height);
    static void OnFramebufferSize(GLFWwindow* w, int width, int height);
    static void OnWindowFocus(GLFWwindow* w, int focused);
    static void OnWindowIconify(GLFWwindow* w, int iconified);

    static VxGlfwGame* _glfwGame;

  protected:
    // One pass of the frame loop: Run repeats it while the window is open.
    void RunFrame();

    double updatePeriod = 0;
    double nextUpdate = 0;
    String appDir;
    String internalDir;
    int swapInterval = 1;
    GLFWwindow* window = nullptr;

  private:
    void ReleaseHeldKeys();
    void OpenWindow(const VxWindowRequest& request);
    void ApplyCursorMode();
    void RunUpdates();
    void KeepWindowState();
    // Cursor positions come in screen units; the device size is in pixels.
    void CursorToPixels(double& x, double& y) const;

    VxGlfwWindowSystem glfwSystem{*this};
    VxWindowSystem* windowSystem = &glfwSystem;
    bool mouseVisible = true;
    // The window's size in screen units and in pixels, kept from the size callbacks: asking GLFW
    // is a round trip to the display server, and the frame needs the size several times.
    int windowWidth = 0, windowHeight = 0;
    int pixelWidth = 0, pixelHeight = 0;
    bool focused = false, iconified = false;
    // GLFW keys whose press went out as a KeyDown and whose release has not been seen yet.
    std::bitset<512> heldKeys;
    // For each joystick port, the GLFW joystick serving it, or -1.
    int pjoys[4] = {-1, -1, -1, -1};
    // The ports that reported a pad at their last poll.
    bool portServed[4] = {};
};

// Framework key code of a GLFW key, 0 for keys the framework does not know.
int TransKey(int glfwKey);
// Framework key code of a GLFW key given what it prints in the player's layout (GLFW's key name,
// null for none): keys of the main block follow their printed character, so the key labelled Z is
// Z on a German or French keyboard; the rest keep their position.
int LayoutKey(int glfwKey, const char* printed);
// The character a navigation or editing key types, 0 for none.
int KeyToChar(int key);

// Gives the first four present joysticks (of GLFW's 16) to ports 0 to 3; the rest get -1.
void vxAssignJoystickPorts(const bool (&present)[16], int (&ports)[4]);
// One pad's sticks, triggers and buttons in the framework's layout, from what GLFW reported.
void vxMapJoystick(const float* axes, int axisCount, const unsigned char* buttonStates, int buttonCount,
                   Array<float> joyx, Array<float> joyy, Array<float> joyz, Array<bool> buttons);
// Adds SDL-style gamepad mapping lines (a GUID, a name, then fields) to GLFW's database one line at a
// time, passing over blank lines, comments and lines GLFW cannot read; returns how many it took.
int vxAddGamepadMappings(std::string_view text);

class VxCobaltGame : public VxGlfwGame {
  public:
    static int Main(int argc, char** argv);
};
