// A Wayland client of the end-to-end tests' own, for what no packaged tool does:
//   wayland_client pointer STEP...   moves the pointer through the wlr virtual-pointer protocol; each
//                                    STEP is "move DX DY", "click" or "wait MS"
//   wayland_client panel LAYER COLOUR HEIGHT
//                                    a bar of HEIGHT pixels across the top of the first output on the
//                                    layer-shell LAYER (top or overlay), filled with COLOUR (0xRRGGBB),
//                                    until it is killed; "panel up" on stdout once it is shown
// Exit status 2: the compositor lacks the protocol.
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

namespace {

wl_seat* seat = nullptr;
wl_compositor* compositor = nullptr;
wl_shm* shm = nullptr;
wl_output* output = nullptr;
zwlr_virtual_pointer_manager_v1* pointerManager = nullptr;
zwlr_layer_shell_v1* layerShell = nullptr;

void globalAdded(void*, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
    const std::string i = interface;
    if (i == wl_seat_interface.name && !seat)
        seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    else if (i == wl_compositor_interface.name)
        compositor =
            static_cast<wl_compositor*>(wl_registry_bind(registry, name, &wl_compositor_interface, 4));
    else if (i == wl_shm_interface.name)
        shm = static_cast<wl_shm*>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
    else if (i == wl_output_interface.name && !output)
        output = static_cast<wl_output*>(wl_registry_bind(registry, name, &wl_output_interface, 1));
    else if (i == zwlr_virtual_pointer_manager_v1_interface.name)
        pointerManager = static_cast<zwlr_virtual_pointer_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
    else if (i == zwlr_layer_shell_v1_interface.name)
        layerShell = static_cast<zwlr_layer_shell_v1*>(
            wl_registry_bind(registry, name, &zwlr_layer_shell_v1_interface, 1));
}

void globalRemoved(void*, wl_registry*, uint32_t) {}

const wl_registry_listener registryListener = {globalAdded, globalRemoved};

uint32_t nowMs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return uint32_t(t.tv_sec * 1000 + t.tv_nsec / 1000000);
}

int pointer(wl_display* display, int argc, char** argv) {
    if (!pointerManager) {
        std::fprintf(stderr, "wayland_client: the compositor offers no virtual pointer\n");
        return 2;
    }
    zwlr_virtual_pointer_v1* p = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(pointerManager, seat);
    wl_display_roundtrip(display);
    for (int i = 0; i < argc; ++i) {
        const std::string step = argv[i];
        if (step == "move" && i + 2 < argc) {
            const double dx = std::atof(argv[i + 1]), dy = std::atof(argv[i + 2]);
            i += 2;
            zwlr_virtual_pointer_v1_motion(p, nowMs(), wl_fixed_from_double(dx), wl_fixed_from_double(dy));
            zwlr_virtual_pointer_v1_frame(p);
        } else if (step == "click") {
            const uint32_t left = 0x110; // BTN_LEFT
            zwlr_virtual_pointer_v1_button(p, nowMs(), left, WL_POINTER_BUTTON_STATE_PRESSED);
            zwlr_virtual_pointer_v1_frame(p);
            wl_display_roundtrip(display);
            zwlr_virtual_pointer_v1_button(p, nowMs(), left, WL_POINTER_BUTTON_STATE_RELEASED);
            zwlr_virtual_pointer_v1_frame(p);
        } else if (step == "wait" && i + 1 < argc) {
            // A pause the caller asks for between moves: the time is the point.
            usleep(useconds_t(std::atoi(argv[++i])) * 1000);
        } else {
            std::fprintf(stderr, "wayland_client: unknown step %s\n", argv[i]);
            return 1;
        }
        wl_display_roundtrip(display);
    }
    zwlr_virtual_pointer_v1_destroy(p);
    wl_display_roundtrip(display);
    return 0;
}

struct Panel {
    zwlr_layer_surface_v1* layer = nullptr;
    wl_surface* surface = nullptr;
    uint32_t colour = 0;
    uint32_t width = 0, height = 0;
    bool shown = false;
    bool closed = false;
};

void drawPanel(Panel& panel) {
    const int stride = int(panel.width) * 4;
    const size_t size = size_t(stride) * panel.height;
    const int fd = memfd_create("panel", 0);
    if (fd < 0 || ftruncate(fd, off_t(size)) != 0) std::exit(1);
    auto* pixels = static_cast<uint32_t*>(mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0));
    for (size_t i = 0; i < size / 4; ++i)
        pixels[i] = 0xFF000000u | panel.colour;
    munmap(pixels, size);
    wl_shm_pool* pool = wl_shm_create_pool(shm, fd, int(size));
    wl_buffer* buffer = wl_shm_pool_create_buffer(pool, 0, int(panel.width), int(panel.height), stride,
                                                  WL_SHM_FORMAT_ARGB8888);
    wl_shm_pool_destroy(pool);
    close(fd);
    wl_surface_attach(panel.surface, buffer, 0, 0);
    wl_surface_damage(panel.surface, 0, 0, int(panel.width), int(panel.height));
    wl_surface_commit(panel.surface);
}

void layerConfigure(void* data, zwlr_layer_surface_v1* layer, uint32_t serial, uint32_t width,
                    uint32_t height) {
    auto& panel = *static_cast<Panel*>(data);
    zwlr_layer_surface_v1_ack_configure(layer, serial);
    if (width) panel.width = width;
    if (height) panel.height = height;
    drawPanel(panel);
    panel.shown = true;
}

void layerClosed(void* data, zwlr_layer_surface_v1*) {
    static_cast<Panel*>(data)->closed = true;
}

const zwlr_layer_surface_v1_listener layerListener = {layerConfigure, layerClosed};

int panel(wl_display* display, const char* layerName, const char* colour, const char* height) {
    if (!layerShell || !compositor || !shm) {
        std::fprintf(stderr, "wayland_client: the compositor offers no layer shell\n");
        return 2;
    }
    Panel p;
    p.colour = uint32_t(std::strtoul(colour, nullptr, 16));
    p.height = uint32_t(std::atoi(height));
    p.surface = wl_compositor_create_surface(compositor);
    const uint32_t layer = std::strcmp(layerName, "overlay") == 0 ? ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY
                                                                  : ZWLR_LAYER_SHELL_V1_LAYER_TOP;
    p.layer = zwlr_layer_shell_v1_get_layer_surface(layerShell, p.surface, output, layer, "panel");
    zwlr_layer_surface_v1_add_listener(p.layer, &layerListener, &p);
    zwlr_layer_surface_v1_set_anchor(p.layer, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP |
                                                  ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT |
                                                  ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
    zwlr_layer_surface_v1_set_size(p.layer, 0, p.height);
    zwlr_layer_surface_v1_set_exclusive_zone(p.layer, int32_t(p.height));
    wl_surface_commit(p.surface);
    while (!p.shown && !p.closed && wl_display_dispatch(display) != -1) {
    }
    wl_display_roundtrip(display);
    std::printf("panel up\n");
    std::fflush(stdout);
    while (!p.closed && wl_display_dispatch(display) != -1) {
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: wayland_client pointer STEP... | panel top|overlay RRGGBB HEIGHT\n");
        return 1;
    }
    wl_display* display = wl_display_connect(nullptr);
    if (!display) {
        std::fprintf(stderr, "wayland_client: no Wayland display\n");
        return 1;
    }
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registryListener, nullptr);
    wl_display_roundtrip(display);
    int code = 1;
    if (std::strcmp(argv[1], "pointer") == 0)
        code = pointer(display, argc - 2, argv + 2);
    else if (std::strcmp(argv[1], "panel") == 0 && argc == 5)
        code = panel(display, argv[2], argv[3], argv[4]);
    else
        std::fprintf(stderr, "wayland_client: unknown command %s\n", argv[1]);
    // Every object let go of before the connection, so the sanitized build's leak check stays quiet.
    if (layerShell) zwlr_layer_shell_v1_destroy(layerShell);
    if (pointerManager) zwlr_virtual_pointer_manager_v1_destroy(pointerManager);
    if (output) wl_output_destroy(output);
    if (shm) wl_shm_destroy(shm);
    if (compositor) wl_compositor_destroy(compositor);
    if (seat) wl_seat_destroy(seat);
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    return code;
}
