PROG     START   1000
FIRST    LDA     DATA
         STA     DATA
DATA     WORD    5
BUF      RESW    4
SUB      RSUB
TAB      RESW    2
LAST     RSUB
         END     FIRST
