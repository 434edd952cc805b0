#include "app/ZocApplication.h"

#include "app/ZocGlobals.h"
#include "app/ZocLog.h"
#include "app/ZocSettings.h"
#include "app/ZocUtils.h"
#include "app/ZocVersion.h"
#include "device/transport/ZocAutoConnect.h"
#include "device/transport/ZocToviDevice.h"
#include "device/transport/ZocToviDeviceInfo.h"
#include "resources/ZocFonts.h"
#include "ui/ImGuiToast.h"
#include "ui/ZocUi.h"
#include "ui/ZocUiWindowTitle.h"

#include <backends/imgui_impl_sdl.h>
#include <backends/imgui_impl_sdlrenderer.h>
#include <imgui.h>

#include <thread>

namespace {
constexpr int kDisconnectedRefreshRate = 30;
constexpr uint32_t kWaitEventMs = 5;
constexpr uint64_t kScanIntervalMs = 1000;

// Loop state (main thread only).
SDL_Event s_event;
uint64_t s_nextRefreshTicks = 0;
uint64_t s_nextScanDeviceTicks = 0;
ZocApplication::FrameStats s_frameStats;
} // namespace

void ZocApplication::ParseCommandLineArguments(int, char**) {}

bool ZocApplication::InitializeFrameworks() {
    // Rasterising the fonts is the slowest step of start-up: it runs on a
    // worker while SDL starts. The worker must finish before the GUI context
    // exists (the GUI's allocator counts allocations in the current context),
    // so nothing of the GUI is shared while it runs.
    const float fontSize = ZocSettings::Instance().fontSize;
    sFontAtlas = new ImFontAtlas();
    std::thread builder;
    if (ImGui::GetCurrentContext())
        CreateFontAtlas(*sFontAtlas, fontSize);
    else
        builder = std::thread([fontSize] { CreateFontAtlas(*sFontAtlas, fontSize); });

    bool sdlStarted = SDL_Init(SDL_INIT_TIMER | SDL_INIT_VIDEO) == 0;
    if (!sdlStarted)
        SDL_LogCritical(SDL_LOG_CATEGORY_APPLICATION, "Failed to initialize SDL, error: %s", SDL_GetError());
    // Without a sound device the console is still useful: sound stays off.
    else if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        SDL_LogWarn(SDL_LOG_CATEGORY_APPLICATION, "Failed to initialize SDL audio, error: %s",
                    SDL_GetError());
    if (builder.joinable())
        builder.join();
    if (!sdlStarted) {
        delete sFontAtlas;
        sFontAtlas = nullptr;
        return false;
    }
    SDL_SetHint(SDL_HINT_IME_SHOW_UI, "1");

    IMGUI_CHECKVERSION();
    ZocGlobals::guiContext = ImGui::CreateContext(sFontAtlas);
    ImGuiIO& io = ImGui::GetIO();
    io.ConfigFlags |= ImGuiConfigFlags_NavEnableKeyboard | ImGuiConfigFlags_NavEnableGamepad;
    return true;
}

void ZocApplication::CreateFontAtlas(ImFontAtlas& atlas, float fontSize) {
    // The data is static inside the program: the atlas must not free it.
    auto add = [&](ZocFonts::Data data, float size, ImFontConfig config) {
        config.FontDataOwnedByAtlas = false;
        return atlas.AddFontFromMemoryTTF(const_cast<unsigned char*>(data.bytes), int(data.size), size,
                                          &config);
    };
    ImFontConfig text;
    text.OversampleH = 5;
    text.OversampleV = 3;
    ZocGlobals::fontDefault = add(ZocFonts::CousineRegular(), fontSize, text);

    static const ImWchar iconRanges[] = {0xE005, 0xF8FF, 0};
    ImFontConfig icons;
    icons.MergeMode = true;
    icons.PixelSnapH = true;
    icons.GlyphRanges = iconRanges;
    add(ZocFonts::FontAwesomeSolid(), fontSize * 0.8f, icons);

    ZocGlobals::fontText = add(ZocFonts::KarlaRegular(), fontSize, text);
    ZocGlobals::fontTitle = add(ZocFonts::RobotoMedium(), fontSize * 1.2f, text);

    // Rasterise now (the renderer backend asks for these pixels at its first frame).
    unsigned char* pixels = nullptr;
    int width = 0, height = 0;
    atlas.GetTexDataAsRGBA32(&pixels, &width, &height);
}

bool ZocApplication::InitializeApplication() {
    if (char* base = SDL_GetBasePath()) {
        ZocGlobals::basePath = base;
        SDL_free(base);
    }
    bool prefOk = false;
    if (char* pref = SDL_GetPrefPath("ZorvaneTovi", "ZorvaneTovi")) {
        ZocGlobals::prefPath = pref;
        SDL_free(pref);
        prefOk = true;
    }
    const std::string prefError = prefOk ? "" : SDL_GetError();

    // Without a preferences folder the log goes to the console.
    if (!ZocLog::Initialize(ZocGlobals::prefPath.c_str(), prefOk ? "ZorvaneTovi" : "", ".log")) {
        SDL_LogCritical(SDL_LOG_CATEGORY_APPLICATION, "Failed to initialize the log");
        return false;
    }
    if (ZocGlobals::basePath.empty())
        ZocLog::Application().Warn("Failed to get the program folder, error: %s", SDL_GetError());

    // The GUI layout is kept inside the settings file.
    ImGui::GetIO().IniFilename = nullptr;

    ZocSettings& settings = ZocSettings::Instance();
    if (prefOk) {
        ZocSettings::Initialize(ZocUtils::String::CombinePath(ZocGlobals::prefPath, "ZorvaneTovi.cfg"));
    } else {
        // Never fall back to the working folder: defaults, nothing saved.
        ZocLog::Application().Error("Failed to get the preferences folder, error: %s", prefError.c_str());
        ImGuiToast toast(ImGuiToastType_Warning, 10000,
                         "The preferences folder cannot be used (%s).\nSettings will not be saved.",
                         prefError.c_str());
        ImGui::InsertNotification(toast);
    }
    ZocSettings::Appearance::SetColorThemeByIndex(settings.appearance.colorTheme);
    ImGui::GetIO().FontGlobalScale = float(settings.appearance.fontScale10) * 0.1f;
    if (settings.logging.logToConsole)
        ZocLog::OpenConsoleLog();

    ZocLog::Application().Info("Zorvane Tovi version: %s, %s %s", ZocVersion::AppVersion.GetText(), __DATE__,
                               __TIME__);
    ZocGlobals::Initialize();
    return true;
}

bool ZocApplication::CreateMainWindow() {
    ZocSettings& settings = ZocSettings::Instance();
    auto& geometry = settings.appearance.mainWindow;
    // OpenGL first; where there is none (some remote or virtual displays)
    // SDL's other renderers still give a usable window.
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    for (uint32_t api : {uint32_t(SDL_WINDOW_OPENGL), 0u}) {
        window =
            SDL_CreateWindow("Zorvane Tovi", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, geometry.width,
                             geometry.height, api | SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE);
        renderer = window ? SDL_CreateRenderer(window, -1, 0) : nullptr;
        if (renderer)
            break;
        if (api != 0)
            ZocLog::Application().Warn("No OpenGL window, error: %s; trying without", SDL_GetError());
        if (window && !renderer) {
            SDL_DestroyWindow(window);
            window = nullptr;
        }
    }
    if (!renderer) {
        ZocLog::Application().Error("Failed to create main window, error: %s", SDL_GetError());
        return false;
    }
    ZocGlobals::window = window;
    ZocGlobals::renderer = renderer;
    SDL_RendererInfo info;
    if (SDL_GetRendererInfo(renderer, &info) == 0)
        ZocLog::Application().Info("Renderer: %s", info.name);
    sMainWindowCreated = true;

    SDL_SetWindowMinimumSize(window, 400, 300);
    SDL_Rect rect{geometry.x, geometry.y, geometry.width, geometry.height};
    ZocUi::SetWindowPositionAndSizeSafe(window, rect);
    geometry.x = rect.x;
    geometry.y = rect.y;
    geometry.width = rect.w;
    geometry.height = rect.h;

    SDL_ShowWindow(window);
    ImGui_ImplSDL2_InitForSDLRenderer(window);
    ImGui_ImplSDLRenderer_Init(renderer);
    ZocGlobals::UpdateDisplayInfo();
    return true;
}

int ZocApplication::Run() {
    int result = 0;
    if (!InitializeFrameworks()) {
        SDL_LogCritical(SDL_LOG_CATEGORY_APPLICATION, "Failed to initialize the frameworks.");
        result = -1;
    } else if (!InitializeApplication()) {
        ZocLog::Application().Error("Failed to initialize the application.");
        ZocGlobals::Finalize();
        result = -1;
    } else {
        ZocLog::Application().Info("Creating application window...");
        if (!CreateMainWindow()) {
            ZocGlobals::Finalize();
            result = -1;
        } else {
            ZocLog::Application().Info("Starting...");
            while (!ZocGlobals::quitRequested)
                RunLoopIteration();
            ZocGlobals::Finalize();
            ZocLog::Application().Info("Exiting...");
        }
    }
    ShutdownUserInterface();
    return result;
}

uint32_t ZocApplication::GetEventWindowId(const SDL_Event& event) {
    switch (event.type) {
    case SDL_WINDOWEVENT:
        return event.window.windowID;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        return event.key.windowID;
    case SDL_TEXTEDITING:
        return event.edit.windowID;
    case SDL_TEXTINPUT:
        return event.text.windowID;
    case SDL_MOUSEMOTION:
        return event.motion.windowID;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        return event.button.windowID;
    case SDL_MOUSEWHEEL:
        return event.wheel.windowID;
    case SDL_DROPFILE:
    case SDL_DROPTEXT:
    case SDL_DROPBEGIN:
    case SDL_DROPCOMPLETE:
        return event.drop.windowID;
    default:
        return 0;
    }
}

bool ZocApplication::IsWithheldFromGui(const SDL_Event& event, const GuiRoutingState& state) {
    if (!state.toviConnected || !state.captureEnabled || !state.fastKeyboardCapture || state.menuShown ||
        state.showGuiDemo || state.anyPopupOpen)
        return false;
    if (event.type != SDL_KEYDOWN && event.type != SDL_KEYUP)
        return false;
    switch (event.key.keysym.scancode) {
    case SDL_SCANCODE_RETURN:
    case SDL_SCANCODE_TAB:
    case SDL_SCANCODE_RIGHT:
    case SDL_SCANCODE_LEFT:
    case SDL_SCANCODE_DOWN:
    case SDL_SCANCODE_UP:
    case SDL_SCANCODE_KP_ENTER:
    case SDL_SCANCODE_RETURN2:
        return true;
    default:
        return false;
    }
}

uint64_t ZocApplication::NextRefreshTicks(uint64_t now, bool videoFrame, bool toviConnected,
                                          int refreshRate) {
    int rate = toviConnected ? refreshRate : kDisconnectedRefreshRate;
    if (rate <= 0) // a damaged setting must not stop painting
        rate = kDisconnectedRefreshRate;
    uint64_t period = uint64_t(1000 / rate);
    return now + (videoFrame ? 3 * period : period);
}

void ZocApplication::HandleEvent(const SDL_Event& event) {
    if (event.type != SDL_WINDOWEVENT || !ZocGlobals::window ||
        event.window.windowID != SDL_GetWindowID(ZocGlobals::window))
        return;
    switch (event.window.event) {
    case SDL_WINDOWEVENT_MOVED:
        ZocGlobals::UpdateDisplayInfo();
        break;
    case SDL_WINDOWEVENT_RESIZED:
        ZocLog::Application().Debug("OnResized: %d,%d", event.window.data1, event.window.data2);
        ZocGlobals::videoResizePending = true;
        ZocGlobals::UpdateDisplayInfo();
        ZocSettings::Instance().appearance.mainWindow.fitToVideoSize = false;
        break;
    default:
        break;
    }
}

void ZocApplication::UpdateStatus() {
    uint32_t flags = SDL_GetWindowFlags(ZocGlobals::window);
    ZocGlobals::windowVisible = (flags & (SDL_WINDOW_HIDDEN | SDL_WINDOW_MINIMIZED)) == 0;
    ZocGlobals::windowMaximizedOrFullScreen = (flags & (SDL_WINDOW_FULLSCREEN | SDL_WINDOW_MAXIMIZED)) != 0;
    ZocGlobals::toviConnected = ZocToviDevice::IsConnected();
}

void ZocApplication::RunLoopIteration() {
    const ZocSettings& settings = ZocSettings::Instance();
    const uint32_t mainWindowId = SDL_GetWindowID(ZocGlobals::window);

    while (SDL_PollEvent(&s_event)) {
        uint32_t windowId = GetEventWindowId(s_event);
        if (windowId != 0 && windowId != mainWindowId)
            continue; // another window's event (the terminal window's, once it exists)

        if (s_event.type == SDL_QUIT ||
            (s_event.type == SDL_WINDOWEVENT && s_event.window.event == SDL_WINDOWEVENT_CLOSE)) {
            ZocGlobals::quitRequested = true;
            break;
        }

        GuiRoutingState routing;
        routing.toviConnected = ZocGlobals::toviConnected;
        routing.captureEnabled = settings.hidCapture.enabled;
        routing.fastKeyboardCapture = settings.hidCapture.fastKeyboardCapture;
        routing.menuShown = ZocGlobals::menuShown;
        routing.showGuiDemo = ZocGlobals::showGuiDemo;
        routing.anyPopupOpen =
            ImGui::IsPopupOpen("", ImGuiPopupFlags_AnyPopupId | ImGuiPopupFlags_AnyPopupLevel);
        if (IsWithheldFromGui(s_event, routing))
            ZocLog::Keyboard().Debug("Ignore keyboard cursor event");
        else
            ImGui_ImplSDL2_ProcessEvent(&s_event);

        HandleEvent(s_event);
    }

    // A disconnect asked for by a thread that cannot run it itself.
    ZocToviDevice::RunPendingDisconnect();

    const uint64_t now = SDL_GetTicks64();
    // A new frame from the capture thread repaints at once.
    const bool frame = ZocGlobals::toviConnected && ZocToviDevice::TakeVideoFrameAvailable();
    if (now >= s_nextRefreshTicks || frame) {
        s_nextRefreshTicks =
            NextRefreshTicks(now, frame, ZocGlobals::toviConnected, settings.device.video.refreshRate);
        UpdateStatus();
        if (ZocGlobals::windowVisible)
            RefreshWindows();
        if (!ZocToviDevice::IsAnyConnected() && now > s_nextScanDeviceTicks) {
            // The device scan runs here, at most once a second, while
            // nothing of a Tovi is open.
            s_nextScanDeviceTicks = now + kScanIntervalMs;
            ZocToviDeviceInfo::ScanDevice();
            if (ZocGlobals::titleDirty) {
                ZocUi::UpdateWindowTitle();
                ZocGlobals::titleDirty = false;
            }
            if (ZocAutoConnect::Check(ZocToviDeviceInfo::GetToviInfoList(), settings.general.autoConnect,
                                      ZocToviDevice::IsAnyConnected()))
                ZocToviDevice::Connect();
        }
    }
    SDL_WaitEventTimeout(nullptr, int(kWaitEventMs));
}

bool ZocApplication::FrameStats::Add(uint64_t spanMs, int refreshRate, uint64_t& min, uint64_t& max,
                                     uint64_t& average) {
    minMs = std::min(minMs, spanMs);
    maxMs = std::max(maxMs, spanMs);
    totalMs += spanMs;
    ++count;
    if (count <= maxCount)
        return false;
    min = minMs;
    max = maxMs;
    average = totalMs / count;
    minMs = 1000;
    maxMs = 0;
    totalMs = 0;
    count = 0;
    maxCount = refreshRate > 0 ? uint32_t(refreshRate) * 10 : 100;
    return true;
}

void ZocApplication::RefreshWindows() {
    const uint64_t start = SDL_GetTicks64();

    ImGui_ImplSDLRenderer_NewFrame();
    ImGui_ImplSDL2_NewFrame();
    ImGui::NewFrame();

    ZocUi::ModalDialog::Refresh();
    if (ZocGlobals::showGuiDemo) {
        bool open = true;
        ImGui::ShowDemoWindow(&open);
        if (!open)
            ZocGlobals::showGuiDemo = false;
    }
    ImGui::PushStyleVar(ImGuiStyleVar_WindowRounding, 5.0f);
    ImGui::SetNextWindowBgAlpha(0.8f);
    ImGui::RenderNotifications();
    ImGui::PopStyleVar();

    ImGui::Render();
    const ImVec4 background = ImGui::GetStyle().Colors[ImGuiCol_WindowBg];
    SDL_SetRenderDrawColor(ZocGlobals::renderer, uint8_t(background.x * 255), uint8_t(background.y * 255),
                           uint8_t(background.z * 255), uint8_t(background.w * 255));
    SDL_RenderClear(ZocGlobals::renderer);
    ImGui_ImplSDLRenderer_RenderDrawData(ImGui::GetDrawData());
    SDL_RenderPresent(ZocGlobals::renderer);
    static bool s_firstFramePresented = false;
    if (!s_firstFramePresented) {
        s_firstFramePresented = true;
        ZocLog::Application().Info("First frame presented");
    }

    if (ZocLog::Video().IsEnabled(ZotLogger::Level::Debug)) {
        uint64_t min, max, average;
        if (s_frameStats.Add(SDL_GetTicks64() - start, ZocSettings::Instance().device.video.refreshRate, min,
                             max, average))
            ZocLog::Video().Debug("Frame timespan (ms): min %llu, max %llu, average %llu",
                                  (unsigned long long)min, (unsigned long long)max,
                                  (unsigned long long)average);
    }
}

void ZocApplication::ShutdownUserInterface() {
    if (sMainWindowCreated) {
        ZocSettings::Finalize();
        ImGui_ImplSDLRenderer_Shutdown();
        ImGui_ImplSDL2_Shutdown();
    }
    ZocUi::ModalDialog::Clear();
    if (ZocGlobals::guiContext) {
        ImGui::DestroyContext(ZocGlobals::guiContext);
        ZocGlobals::guiContext = nullptr;
    }
    delete sFontAtlas; // shared with the context, so not freed with it
    sFontAtlas = nullptr;
    if (ZocGlobals::renderer) {
        SDL_DestroyRenderer(ZocGlobals::renderer);
        ZocGlobals::renderer = nullptr;
    }
    if (ZocGlobals::window) {
        SDL_DestroyWindow(ZocGlobals::window);
        ZocGlobals::window = nullptr;
    }
    sMainWindowCreated = false;
    ZocGlobals::Destroy();
    SDL_Quit();
}
