select top (5) percent [DJBH], convert(varchar(10), RQ, 120), case when JE > 1 then N'big' else 'small' end from XSDDZB where DJBH like 'X[!a]%' and JE % 2 = 0
