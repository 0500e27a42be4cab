. Test 2: read and write a record, one device each.
         START   1000
RDREC    LDX     ZERO
RLOOP    TD      INPUT
EXIT     STX     LENGTH
INPUT    BYTE    X'F1F2F3'
MAXLEN   WORD    4096
WRREC    LDX     ZERO
WLOOP    TD      OUTPUT
OUTPUT   BYTE    X'05'
         END     RDREC
