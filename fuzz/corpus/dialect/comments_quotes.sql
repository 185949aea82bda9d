select 'it''s', "q""x", [a]]b] -- tail ' comment
from t /* block /* nested */ 'x' */ where right(a, 2) = 'z;'