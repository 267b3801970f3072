/*
 * SPDX-FileCopyrightText: 2026 The Slotscan authors
 *
 * SPDX-License-Identifier: MIT
 */

/* A card model in C through portvex/simulated.h, as a program attaches one, linked with
 * libportvex.so.1 alone: run with PORTVEX=sim: naming a copy of examples/racks/dio32.toml
 * ("sim"), with PORTVEX=none ("none"), or with PORTVEX=sim: naming a missing rack file
 * ("broken"), where attaching and detaching must fail and say why. */
#include <portvex.h>
#include <portvex/simulated.h>
#include <stdio.h>
#include <string.h>

struct state {
    uint32_t latch;
    unsigned reads, writes;
};

static uint32_t model_read(void* context, uint32_t offset) {
    struct state* s = context;
    ++s->reads;
    return offset == 4 ? s->latch : 0xC0DE0000u | offset;
}

static void model_write(void* context, uint32_t offset, uint32_t value) {
    struct state* s = context;
    ++s->writes;
    if (offset == 4) s->latch = value;
}

static int passes, failures;

static void expect(int ok, const char* what) {
    if (ok) {
        ++passes;
    } else {
        fprintf(stderr, "FAILED: %s\n", what);
        ++failures;
    }
}

int main(int argc, char** argv) {
    char why[256] = "";
    struct state s = {0, 0, 0};
    if (argc > 1 && strcmp(argv[1], "sim") != 0) {
        const int none = strcmp(argv[1], "none") == 0;
        expect(!portvex_sim_attach("00:0a.0", model_read, model_write, &s, why, sizeof why),
               "attach without a running simulated PC fails");
        expect(strstr(why, "card models need the simulated PC") != NULL, why);
        expect(strstr(why, none ? "port layer is 'none'" : "missing.toml") != NULL,
               "the reason names the backend, or the rack file that did not load");
        why[0] = '\0';
        expect(!portvex_sim_detach("00:0a.0", why, sizeof why) &&
                   strstr(why, "card models need the simulated PC") != NULL,
               "detach without a running simulated PC fails");
        expect(!portvex_sim_attach("00:0a.0", model_read, model_write, &s, NULL, 0),
               "no buffer for the reason is allowed");
        char tiny[8] = "xxxxxxx";
        expect(!portvex_sim_detach("00:0a.0", tiny, 4) && strlen(tiny) == 3,
               "the reason is cut to the buffer, with its NUL");
        expect(inportdw(0x300) == 0xFFFFFFFFu, "nothing decodes the range");
        expect(s.reads == 0 && s.writes == 0, "the model is never called");
    } else {
        expect(inportdw(0x300) == 0xD1032001u, "the rack's ID register before attach");
        expect(portvex_sim_attach("00:0a.0", model_read, model_write, &s, why, sizeof why), why);
        expect(inportdw(0x31C) == 0xC0DE001Cu, "a read reaches the model with its offset");
        outportdw(0x304, 0x12345678u);
        expect(inportdw(0x304) == 0x12345678u, "a write reaches the model");
        expect(s.reads == 2 && s.writes == 1, "one callback per access");
        /* By I/O base, as GetIOBaseByCardNo gives it: replaces the first. */
        struct state other = {0, 0, 0};
        expect(portvex_sim_attach("0x300", model_read, model_write, &other, why, sizeof why), why);
        inportdw(0x300);
        expect(other.reads == 1 && s.reads == 2, "the second model replaced the first");
        expect(portvex_sim_detach("00:0a.0", why, sizeof why), why);
        outportdw(0x304, 0xA5u);
        expect(inportdw(0x308) == 0xA5u, "after detach the rack's loopback is back");
        expect(!portvex_sim_attach("00:1f.0", model_read, model_write, &s, why, sizeof why) &&
                   strstr(why, "no card at slot 00:1f.0") != NULL,
               "a slot without a card is refused");
        expect(!portvex_sim_attach("0x999", model_read, model_write, &s, why, sizeof why) &&
                   strstr(why, "no card of the simulated PC has its I/O range") != NULL,
               "an I/O base without a card is refused");
        expect(!portvex_sim_attach("00:0a.0", NULL, model_write, &s, why, sizeof why),
               "a model needs both callbacks");
        expect(!portvex_sim_detach(NULL, why, sizeof why) && strstr(why, "no card named") != NULL,
               "a card must be named");
    }
    printf("%d passed, %d failed\n", passes, failures);
    return failures == 0 ? 0 : 1;
}
