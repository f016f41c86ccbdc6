#pragma once

#include <vector>

namespace lanqi {

// Window opacity runs from 0 (invisible) to 255 (opaque), as layered windows count it.
inline constexpr int kOpaque = 255;
inline constexpr int kFadeInStepDelay = 15;  // ms between fade-in steps at start-up

// What fadeInWindow needs of the window and the platform.
class FadeInHost {
  public:
    virtual ~FadeInHost() = default;
    virtual void hideWindow() = 0;  // creating it first when it does not exist yet
    virtual bool canChangeOpacity() = 0;
    virtual void setWindowOpacity(int level) = 0;
    virtual void showWindow() = 0;
    virtual void processPendingEvents() = 0;
    virtual void sleepMilliseconds(int milliseconds) = 0;
};

// The opacities fadeInWindow applies once the window is shown at 0, in order. stepDelay is clamped to
// 0..64 and gives steps = stepDelay (1 for 0); step i of trunc(4 × steps) has opacity trunc(64 / steps × i − 1)
// in floating point, and a final 255 follows. Delay 0 gives 63, 127, 191, 255, 255; delay 15 gives 60
// steps from 3 to 255, then 255.
std::vector<int> fadeInOpacities(int stepDelay);

// Hides the window, shows it at opacity 0 and raises the opacity through fadeInOpacities, processing
// pending events after each step and sleeping stepDelay ms between steps (not at all for 0). Without
// opacity support the window is just shown.
void fadeInWindow(FadeInHost& host, int stepDelay);

// What the exit fade needs: the main window's opacity, its fade timer (时钟1) and the end of the program.
class ExitFadeHost {
  public:
    virtual ~ExitFadeHost() = default;
    virtual void setWindowOpacity(int level) = 0;
    virtual void startFadeTimer(int periodMilliseconds) = 0;  // starts or restarts it
    virtual void stopFadeTimer() = 0;
    virtual void endProgram() = 0;
};

// The main window's fade-out on close. The first close request is refused and starts the timer at level
// 255; each tick applies the level and lowers it by 4, so the ticks apply 255, 251, ..., 3 and the program
// ends right after the 64th. A close request during the fade restarts it from 255; one after it has run
// out (level below 0) is allowed.
class ExitFade {
  public:
    static constexpr int kTickMilliseconds = 15;
    static constexpr int kStep = 4;

    explicit ExitFade(ExitFadeHost& host) : m_host(host) {}

    // True when the window may close now; false when the close is refused and the fade (re)started.
    bool closeRequested();
    // One tick of the fade timer. Does nothing unless a fade is running.
    void tick();

    int level() const { return m_level; }
    bool running() const { return m_running; }

  private:
    ExitFadeHost& m_host;
    int m_level = 0;
    bool m_running = false;
};

}  // namespace lanqi
