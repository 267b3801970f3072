/* Lists the cards the library finds, then looks one up by its card number.
 *
 *   PORTVEX=sim:examples/racks/rack3.toml ./list_cards 2
 */
#include <slotscan.h>
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv) {
    int16_t numbers[MAX_CARDS];
    int32_t count = FindPCICard(numbers);
    printf("%d card(s) found\n", (int)count);
    for (int32_t i = 0; i < count; ++i) {
        uint16_t ioBase = 0, irq = 0;
        if (GetIOBaseByOrder(i, &ioBase, &irq)) {
            printf("  #%d  card %d  I/O base 0x%04X  IRQ %u\n", (int)i, (int)numbers[i],
                   (unsigned)ioBase, (unsigned)irq);
        }
    }
    if (argc > 1) {
        long wanted = strtol(argv[1], NULL, 0);
        uint16_t ioBase = 0, irq = 0;
        if (!GetIOBaseByCardNo((int32_t)wanted, &ioBase, &irq)) {
            printf("card %ld: not found\n", wanted);
            return 1;
        }
        printf("card %ld: I/O base 0x%04X, IRQ %u\n", wanted, (unsigned)ioBase, (unsigned)irq);
    }
    return 0;
}
