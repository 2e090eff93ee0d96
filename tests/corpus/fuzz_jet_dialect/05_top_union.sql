select top 1 BH from KH union select DJBH from XSDDZB where DJBH like 'XD*' order by 1
