x:=f(a);// it's
y:=2;{ no 'code }
p(o);(*x*)