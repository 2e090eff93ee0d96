select Year(RQ) & "-" & Month(RQ) as aYM, Sum(Nz(JE, 0)) as aJE, DateDiff("d", Min(RQ), #2008-09-30#) from XSDDZB group by Year(RQ) & "-" & Month(RQ) having Count(*) > 0
