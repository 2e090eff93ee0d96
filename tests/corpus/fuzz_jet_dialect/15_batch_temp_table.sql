select DJBH, JE into #t from XSDDZB; select * from #t where JE > 1 select @@IDENTITY, scope_identity(), isnull(BH, 'x') from KH
