// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

/*
 * portvex/simulated.h - card models in code for the simulated PC (PORTVEX=sim:FILE, Linux).
 *
 * A model takes over a card's whole I/O range (BAR4, the base the library returns), in
 * place of the registers its rack file declares: every 32-bit read and write there calls
 * the model's read or write callback with the offset from the start of the range and the
 * context pointer given at attach. The callbacks run on the thread making the port access,
 * inside inportdw/outportdw; they must return normally (no C++ exception, no longjmp) and
 * must not make port accesses themselves.
 *
 * The functions live in the simulated PC module, which the port layer loads at its first
 * use when PORTVEX=sim: names a rack file; on real hardware they are not there at all. The
 * inline helpers below find them (link with -ldl where dlopen is not in the C library).
 * Attach and detach while no port access is under way.
 *
 *   static uint32_t my_read(void* ctx, uint32_t offset) { ... }
 *   static void my_write(void* ctx, uint32_t offset, uint32_t value) { ... }
 *   char why[256];
 *   if (!portvex_sim_attach("00:0b.0", my_read, my_write, &state, why, sizeof why))
 *       fprintf(stderr, "%s\n", why);
 *
 * `card` is the card's slot ("bus:device.function" in hex, as lspci prints it) or the base
 * of its I/O range as a number ("0x340"), as GetIOBaseByCardNo returns it.
 */
#ifndef PORTVEX_SIMULATED_H
#define PORTVEX_SIMULATED_H

#include <dlfcn.h>
#include <portvex.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef uint32_t (*portvex_sim_read_fn)(void* context, uint32_t offset);
typedef void (*portvex_sim_write_fn)(void* context, uint32_t offset, uint32_t value);

/* What the module exports. Each returns 1, or 0 with the reason in `why` (when not NULL). */
typedef int (*portvex_simulator_attach_fn)(const char* card, portvex_sim_read_fn read,
                                           portvex_sim_write_fn write, void* context, char* why,
                                           size_t why_size);
typedef int (*portvex_simulator_detach_fn)(const char* card, char* why, size_t why_size);
#define PORTVEX_SIMULATOR_SONAME "portvex-sim.so"
#define PORTVEX_SIMULATOR_ATTACH "portvex_simulator_attach"
#define PORTVEX_SIMULATOR_DETACH "portvex_simulator_detach"

/* The module's function `name`, or NULL with the reason in `why` when the port layer is not
 * the simulated PC. */
static inline void* portvex_sim_function(const char* name, char* why, size_t why_size) {
    const char* backend = portvex_backend(); /* chooses the backend, loading the module */
    void* module = NULL;
    if (strcmp(backend, "sim") == 0 && portvex_ready())
        module = dlopen(PORTVEX_SIMULATOR_SONAME, RTLD_NOW | RTLD_NOLOAD);
    if (module == NULL) {
        if (why != NULL && why_size > 0)
            snprintf(why, why_size,
                     "card models need the simulated PC (PORTVEX=sim:/path/to/rack.toml), but "
                     "the port layer is '%s': %s",
                     backend, portvex_status());
        return NULL;
    }
    void* function = dlsym(module, name);
    dlclose(module); /* the port layer keeps its own reference for the life of the process */
    if (function == NULL && why != NULL && why_size > 0)
        snprintf(why, why_size, "the simulated PC module lacks %s", name);
    return function;
}

/* Puts a model behind the card's I/O range; a second attach replaces the first. */
static inline int portvex_sim_attach(const char* card, portvex_sim_read_fn read,
                                     portvex_sim_write_fn write, void* context, char* why,
                                     size_t why_size) {
    void* f = portvex_sim_function(PORTVEX_SIMULATOR_ATTACH, why, why_size);
    if (f == NULL) return 0;
    portvex_simulator_attach_fn attach;
    memcpy(&attach, &f, sizeof attach);
    return attach(card, read, write, context, why, why_size);
}

/* Gives the card its rack registers back. */
static inline int portvex_sim_detach(const char* card, char* why, size_t why_size) {
    void* f = portvex_sim_function(PORTVEX_SIMULATOR_DETACH, why, why_size);
    if (f == NULL) return 0;
    portvex_simulator_detach_fn detach;
    memcpy(&detach, &f, sizeof detach);
    return detach(card, why, why_size);
}

#ifdef __cplusplus
}
#endif

#endif /* PORTVEX_SIMULATED_H */
