INSERT INTO KH (BH, MC, QMJE) VALUES (?, Left(?, 2) & Mid("abc", 2), CLng(3.5) Mod 2 + 7 \ 2)
