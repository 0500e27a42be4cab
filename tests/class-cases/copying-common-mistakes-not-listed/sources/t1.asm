. COPY: copies records from an input device to an output device
COPY     START   1000
FIRST    STL     RETADR
         LDB     #LENGTH
         BASE    LENGTH
CLOOP   +JSUB    RDREC
CHECK    LDA     LENGTH
         COMP    #0
         JEQ     ENDFIL
        +JSUB    WRREC
         J       CLOOP
ENDFIL   LDA     =C'EOF'
         STA     BUFFER
         LDA     #3
         STA     LENGTH
        +JSUB    WRREC
         J       @RETADR
         LTORG
RETADR   RESW    1
LENGTH   RESW    1
BUFFER   RESB    4096
BUFEND   EQU     *
MAXLEN   EQU     BUFEND-BUFFER
RECORD   RESB    12
         ORG     RECORD
NAME     RESB    8
CODE     RESW    1
FLAG     RESB    1
         ORG
.
.        RDREC: reads a record into the buffer
.
RDREC    CLEAR   X
         CLEAR   A
         CLEAR   S
        +LDT     #MAXLEN
RLOOP    TD      INPUT
         JEQ     RLOOP
         RD      INPUT
         COMPR   A,S
         JEQ     EXIT
         STCH    BUFFER,X
         TIXR    T
         JLT     RLOOP
EXIT     STX     LENGTH
         RSUB
INPUT    BYTE    X'F1'
.
.        WRREC: writes the record from the buffer
.
WRREC    CLEAR   X
         LDT     LENGTH
WLOOP    TD      =X'05'
         JEQ     WLOOP
         LDCH    BUFFER,X
         WD      =X'05'
         TIXR    T
         JLT     WLOOP
         RSUB
EOF      BYTE    C'EOF'
THREE    WORD    3
ZERO     WORD    0
         END     FIRST
