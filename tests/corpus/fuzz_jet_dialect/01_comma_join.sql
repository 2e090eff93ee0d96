select Z.*, iif(Z.ZT,'是','否') as aZT, K.BH as aKHBH, K.MC as aKHMC from XSDDZB Z, KH K, Z inner join K on Z.KHID = K.ID where Z.RQ between #2008-08-30# and #2008-08-30# order by Z.DJBH
