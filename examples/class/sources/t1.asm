. Test 1: copy records until end of file (SIC, a word for each
. instruction).
         START   0
FIRST    STL     RETADR
CLOOP    JSUB    RDREC
RLOOP    LDA     LENGTH
ENDFIL   LDA     EOF
EOF      BYTE    C'EOF'
THREE    WORD    3
ZERO     WORD    0
RETADR   RESW    1
LENGTH   RESW    1
BUFFER   RESB    4096
         END     FIRST
