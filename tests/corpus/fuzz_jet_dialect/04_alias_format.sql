select ID, JE AS aJE, iif(ID>aJE,ID-aJE,0) as aMSSL, Format(RQ, "yyyy-mm-dd") & DJBH as aKey from XSDDZB where not ZT
