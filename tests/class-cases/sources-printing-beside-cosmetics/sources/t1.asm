PROG     START   1000
FIRST    LDA     DATA
         STA     DATA
DATA     WORD    5
SIZE     EQU     3
BUF      RESB    10
ENDS     EQU     *
         END     FIRST
